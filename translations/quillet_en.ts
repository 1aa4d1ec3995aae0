<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>BoxFiles</name>
    <message numerus="yes">
        <source>%n messages that another program kept in the box files were taken in.</source>
        <translation>
            <numerusform>%n message that another program kept in the box files was taken in.</numerusform>
            <numerusform>%n messages that another program kept in the box files were taken in.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>DeleteCommand</name>
    <message numerus="yes">
        <source>Delete these %n messages on the phone? Quillet keeps its copies.</source>
        <translation>
            <numerusform>Delete this message on the phone? Quillet keeps its copy.</numerusform>
            <numerusform>Delete these %n messages on the phone? Quillet keeps its copies.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Delete these %n messages, on the phone and here?</source>
        <translation>
            <numerusform>Delete this message, on the phone and here?</numerusform>
            <numerusform>Delete these %n messages, on the phone and here?</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ExportCommands</name>
    <message numerus="yes">
        <source>%n messages exported to %1</source>
        <translation>
            <numerusform>%n message exported to %1</numerusform>
            <numerusform>%n messages exported to %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n messages exported%1</source>
        <translation>
            <numerusform>%n message exported%1</numerusform>
            <numerusform>%n messages exported%1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contacts exported</source>
        <translation>
            <numerusform>%n contact exported</numerusform>
            <numerusform>%n contacts exported</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Conversation of %n messages exported</source>
        <translation>
            <numerusform>Conversation of %n message exported</numerusform>
            <numerusform>Conversation of %n messages exported</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ImportCommand</name>
    <message numerus="yes">
        <source>%n contacts added</source>
        <translation>
            <numerusform>%n contact added</numerusform>
            <numerusform>%n contacts added</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n messages imported</source>
        <translation>
            <numerusform>%n message imported</numerusform>
            <numerusform>%n messages imported</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n attachments</source>
        <translation>
            <numerusform>%n attachment</numerusform>
            <numerusform>%n attachments</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>The data folder holds %n copies of the boxes that a file-sync program kept when two computers changed them:
%1
Messages kept on the other computer may be only there. Take them in now? Each copy becomes one import, which File &gt; Imports... can undo.</source>
        <translation>
            <numerusform>The data folder holds a copy of a box that a file-sync program kept when two computers changed it:
%1
Messages kept on the other computer may be only there. Take them in now? The copy becomes one import, which File &gt; Imports... can undo.</numerusform>
            <numerusform>The data folder holds %n copies of the boxes that a file-sync program kept when two computers changed them:
%1
Messages kept on the other computer may be only there. Take them in now? Each copy becomes one import, which File &gt; Imports... can undo.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>MoveCommand</name>
    <message numerus="yes">
        <source>%n messages moved to the PC.</source>
        <translation>
            <numerusform>%n message moved to the PC.</numerusform>
            <numerusform>%n messages moved to the PC.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n messages stay on the phone:</source>
        <translation>
            <numerusform>%n message stays on the phone:</numerusform>
            <numerusform>%n messages stay on the phone:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n messages moved to the PC</source>
        <translation>
            <numerusform>%n message moved to the PC</numerusform>
            <numerusform>%n messages moved to the PC</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n messages will be deleted on the phone.</source>
        <translation>
            <numerusform>%n message will be deleted on the phone.</numerusform>
            <numerusform>%n messages will be deleted on the phone.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Inbox (%n on the phone)</source>
        <translation>
            <numerusform>Inbox (%n on the phone)</numerusform>
            <numerusform>Inbox (%n on the phone)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Sent Items (%n on the phone)</source>
        <translation>
            <numerusform>Sent Items (%n on the phone)</numerusform>
            <numerusform>Sent Items (%n on the phone)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Deleted Items (%n on the phone)</source>
        <translation>
            <numerusform>Deleted Items (%n on the phone)</numerusform>
            <numerusform>Deleted Items (%n on the phone)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source> days</source>
        <translation>
            <numerusform> day</numerusform>
            <numerusform> days</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ProgressTexts</name>
    <message numerus="yes">
        <source>About %n seconds left</source>
        <translation>
            <numerusform>About %n second left</numerusform>
            <numerusform>About %n seconds left</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>About %n minutes left</source>
        <translation>
            <numerusform>About %n minute left</numerusform>
            <numerusform>About %n minutes left</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>RestoreCommand</name>
    <message numerus="yes">
        <source>%n selected messages</source>
        <translation>
            <numerusform>%n selected message</numerusform>
            <numerusform>%n selected messages</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Write %n messages to the phone?</source>
        <translation>
            <numerusform>Write %n message to the phone?</numerusform>
            <numerusform>Write %n messages to the phone?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Write %n contacts to the phone?</source>
        <translation>
            <numerusform>Write %n contact to the phone?</numerusform>
            <numerusform>Write %n contacts to the phone?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n are on the phone already and are not written again.</source>
        <translation>
            <numerusform>%n is on the phone already and is not written again.</numerusform>
            <numerusform>%n are on the phone already and are not written again.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n messages written to the phone.</source>
        <translation>
            <numerusform>%n message written to the phone.</numerusform>
            <numerusform>%n messages written to the phone.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contacts written to the phone.</source>
        <translation>
            <numerusform>%n contact written to the phone.</numerusform>
            <numerusform>%n contacts written to the phone.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>The phone did not take %n messages.</source>
        <translation>
            <numerusform>The phone did not take %n message.</numerusform>
            <numerusform>The phone did not take %n messages.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contacts were not taken (the SIM is full).</source>
        <translation>
            <numerusform>%n contact was not taken (the SIM is full).</numerusform>
            <numerusform>%n contacts were not taken (the SIM is full).</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n messages restored to the phone</source>
        <translation>
            <numerusform>%n message restored to the phone</numerusform>
            <numerusform>%n messages restored to the phone</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n messages are longer than the phone takes and are left out:</source>
        <translation>
            <numerusform>%n message is longer than the phone takes and is left out:</numerusform>
            <numerusform>%n messages are longer than the phone takes and are left out:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contacts restored to the phone</source>
        <translation>
            <numerusform>%n contact restored to the phone</numerusform>
            <numerusform>%n contacts restored to the phone</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quillet::ConversationPage</name>
    <message numerus="yes">
        <source>Show earlier messages (%n more)</source>
        <translation>
            <numerusform>Show earlier messages (%n more)</numerusform>
            <numerusform>Show earlier messages (%n more)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n messages</source>
        <translation>
            <numerusform>%n message</numerusform>
            <numerusform>%n messages</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quillet::ImportHistoryWindow</name>
    <message numerus="yes">
        <source>%n messages added</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n already kept</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n possible duplicates</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n attachments</source>
        <translation type="unfinished">
            <numerusform>%n attachment</numerusform>
            <numerusform>%n attachments</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Import %1 undone: %n messages removed</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n kept (the phone holds them now)</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n not found (changed or deleted since)</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Undo import %1 of %2? Its %n messages are taken out of the boxes, except those the phone holds now.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n of the messages import %1 added could not be found: they were changed or deleted since. Their attachments are kept.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quillet::MainFrame</name>
    <message numerus="yes">
        <source>%n new imported messages</source>
        <translation>
            <numerusform>%n new imported message</numerusform>
            <numerusform>%n new imported messages</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source> (%n new since you last looked)</source>
        <translation>
            <numerusform> (%n new since you last looked)</numerusform>
            <numerusform> (%n new since you last looked)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quillet::SmsListView</name>
    <message numerus="yes">
        <source>There is not enough memory to sort the %n messages of this list; they keep their order. Close other programs and try again.</source>
        <translation>
            <numerusform>There is not enough memory to sort the %n message of this list; it keeps its place. Close other programs and try again.</numerusform>
            <numerusform>There is not enough memory to sort the %n messages of this list; they keep their order. Close other programs and try again.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>There is not enough memory to list the %n messages of this box. They are kept as they are; close other programs and choose the box again.</source>
        <translation>
            <numerusform>There is not enough memory to list the %n message of this box. It is kept as it is; close other programs and choose the box again.</numerusform>
            <numerusform>There is not enough memory to list the %n messages of this box. They are kept as they are; close other programs and choose the box again.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quillet::TrayNotice</name>
    <message numerus="yes">
        <source>%n new messages</source>
        <translation>
            <numerusform>%n new message</numerusform>
            <numerusform>%n new messages</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n new messages, the latest from %1</source>
        <translation>
            <numerusform>%n new message, from %1</numerusform>
            <numerusform>%n new messages, the latest from %1</numerusform>
        </translation>
    </message>
</context>
</TS>
