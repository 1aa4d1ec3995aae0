<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
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
    <name>quillet::MainFrame</name>
    <message numerus="yes">
        <source>%n new imported messages</source>
        <translation>
            <numerusform>%n new imported message</numerusform>
            <numerusform>%n new imported messages</numerusform>
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
    <message numerus="yes">
        <source>Delete these %n messages on the phone? Quillet keeps its copies.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Delete these %n messages, on the phone and here?</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n message(s) that another program kept in the box files were taken in.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source> (%n new since you last looked)</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n messages exported to %1</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
</context>
</TS>
