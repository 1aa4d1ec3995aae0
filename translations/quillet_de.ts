<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>BoxFiles</name>
    <message>
        <source>The file was kept as %1.</source>
        <translation>Die Datei wurde als %1 behalten.</translation>
    </message>
    <message>
        <source>The file is left where it is and will not be saved over.</source>
        <translation>Die Datei bleibt, wo sie ist, und wird nicht überschrieben.</translation>
    </message>
    <message>
        <source>Unknown version of Quillet in inbox files.
</source>
        <translation>Unbekannte Quillet-Version in den Posteingangsdateien.
</translation>
    </message>
    <message>
        <source>The box file %1 is damaged: %2 messages could be read.
Details:
%3
</source>
        <translation>Die Postfachdatei %1 ist beschädigt: %2 Nachrichten konnten gelesen werden.
Einzelheiten:
%3
</translation>
    </message>
    <message>
        <source>No copy of the file as found could be kept.</source>
        <translation>Es konnte keine Kopie der vorgefundenen Datei behalten werden.</translation>
    </message>
    <message>
        <source>The box file %1 could not be read; the box starts empty.
Details:
%2
</source>
        <translation>Die Postfachdatei %1 konnte nicht gelesen werden; der Ordner beginnt leer.
Einzelheiten:
%2
</translation>
    </message>
    <message numerus="yes">
        <source>%n messages that another program kept in the box files were taken in.</source>
        <translation>
            <numerusform>%n Nachricht, die ein anderes Programm in den Ordnerdateien abgelegt hat, wurde übernommen.</numerusform>
            <numerusform>%n Nachrichten, die ein anderes Programm in den Ordnerdateien abgelegt hat, wurden übernommen.</numerusform>
        </translation>
    </message>
    <message>
        <source>Your messages could not be saved. This session&apos;s changes (messages read or deleted here, messages sent from Quillet, which the phone keeps no copy of) would be lost.
Details:
</source>
        <translation>Ihre Nachrichten konnten nicht gespeichert werden. Die Änderungen dieser Sitzung (hier gelesene oder gelöschte Nachrichten, aus Quillet gesendete Nachrichten, von denen das Telefon keine Kopie behält) gingen verloren.
Details:
</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>Save to another folder...</source>
        <translation>In einem anderen Ordner speichern...</translation>
    </message>
    <message>
        <source>Quit without saving</source>
        <translation>Beenden ohne zu speichern</translation>
    </message>
    <message>
        <source>Save the messages to a new folder</source>
        <translation>Die Nachrichten in einem neuen Ordner speichern</translation>
    </message>
    <message>
        <source>The folder could not be made.</source>
        <translation>Der Ordner konnte nicht angelegt werden.</translation>
    </message>
    <message>
        <source>Unable to save your messages in %1.
Details:
%2</source>
        <translation>Ihre Nachrichten konnten nicht in %1 gespeichert werden.
Details:
%2</translation>
    </message>
    <message>
        <source>Your messages were saved in %1. To go on with them, copy the files there into the data folder once it can be written.</source>
        <translation>Ihre Nachrichten wurden in %1 gespeichert. Um mit ihnen weiterzuarbeiten, kopieren Sie die Dateien von dort in den Datenordner, sobald er beschreibbar ist.</translation>
    </message>
    <message>
        <source>Unable to save your messages.
Details:
</source>
        <translation>Ihre Nachrichten konnten nicht gespeichert werden.
Einzelheiten:
</translation>
    </message>
</context>
<context>
    <name>ContactsListView</name>
    <message>
        <source>Could not save the settings.
Details:
</source>
        <translation>Die Einstellungen konnten nicht gespeichert werden.
Einzelheiten:
</translation>
    </message>
</context>
<context>
    <name>DeleteCommand</name>
    <message>
        <source>No message selected: nothing deleted.</source>
        <translation>Keine Nachricht ausgewählt: Es wurde nichts gelöscht.</translation>
    </message>
    <message>
        <source>SMS Message(s) deleted.</source>
        <translation>SMS-Nachricht(en) gelöscht.</translation>
    </message>
    <message>
        <source>Message(s) deleted.</source>
        <translation>Nachricht(en) gelöscht.</translation>
    </message>
    <message>
        <source>No message deleted on device: the phone could not be reached.</source>
        <translation>Keine Nachricht auf dem Gerät gelöscht: Das Telefon war nicht erreichbar.</translation>
    </message>
    <message>
        <source>No message deleted: the phone could not be reached.</source>
        <translation>Keine Nachricht gelöscht: Das Telefon war nicht erreichbar.</translation>
    </message>
    <message>
        <source>%1 of %2 messages deleted on device: the phone could not be reached.</source>
        <translation>%1 von %2 Nachrichten auf dem Gerät gelöscht: Das Telefon war nicht erreichbar.</translation>
    </message>
    <message>
        <source>%1 of %2 messages deleted: the phone could not be reached.</source>
        <translation>%1 von %2 Nachrichten gelöscht: Das Telefon war nicht erreichbar.</translation>
    </message>
    <message>
        <source>%1 and %2</source>
        <translation>%1 und %2</translation>
    </message>
    <message>
        <source>%1 and %2 others</source>
        <translation>%1 und %2 weitere</translation>
    </message>
    <message>
        <source>Delete the message exchanged with %1 on the phone?</source>
        <translation>Die mit %1 gewechselte Nachricht auf dem Telefon löschen?</translation>
    </message>
    <message>
        <source>Delete the %1 messages exchanged with %2 on the phone?</source>
        <translation>Die %1 mit %2 gewechselten Nachrichten auf dem Telefon löschen?</translation>
    </message>
    <message>
        <source>Quillet keeps its copies, marked as no longer on the phone.</source>
        <translation>Quillet behält seine Kopien, als nicht mehr auf dem Telefon markiert.</translation>
    </message>
    <message>
        <source>Delete the message exchanged with %1, on the phone and here?</source>
        <translation>Die mit %1 gewechselte Nachricht löschen, auf dem Telefon und hier?</translation>
    </message>
    <message>
        <source>Delete the %1 messages exchanged with %2, on the phone and here?</source>
        <translation>Die %1 mit %2 gewechselten Nachrichten löschen, auf dem Telefon und hier?</translation>
    </message>
    <message>
        <source>One of them also went to others and leaves their conversations too.</source>
        <translation>Eine davon ging auch an andere und verschwindet auch aus deren Unterhaltungen.</translation>
    </message>
    <message>
        <source>%1 of them also went to others and leave their conversations too.</source>
        <translation>%1 davon gingen auch an andere und verschwinden auch aus deren Unterhaltungen.</translation>
    </message>
    <message numerus="yes">
        <source>Delete these %n messages on the phone? Quillet keeps its copies.</source>
        <translation>
            <numerusform>Diese Nachricht auf dem Telefon löschen? Quillet behält seine Kopie.</numerusform>
            <numerusform>Diese %n Nachrichten auf dem Telefon löschen? Quillet behält seine Kopien.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Delete these %n messages, on the phone and here?</source>
        <translation>
            <numerusform>Diese Nachricht löschen, auf dem Telefon und hier?</numerusform>
            <numerusform>Diese %n Nachrichten löschen, auf dem Telefon und hier?</numerusform>
        </translation>
    </message>
    <message>
        <source>Deleting SMS message(s) on device...</source>
        <translation>SMS-Nachricht(en) werden auf dem Gerät gelöscht …</translation>
    </message>
    <message>
        <source>Deleting SMS message(s)...</source>
        <translation>SMS-Nachricht(en) werden gelöscht …</translation>
    </message>
</context>
<context>
    <name>ExportCommands</name>
    <message>
        <source> (%1 characters XML cannot carry shown as �)</source>
        <translation> (%1 Zeichen, die XML nicht tragen kann, als � gezeigt)</translation>
    </message>
    <message>
        <source>Export to XML file</source>
        <translation>In XML-Datei exportieren</translation>
    </message>
    <message>
        <source>XML files (*.xml)</source>
        <translation>XML-Dateien (*.xml)</translation>
    </message>
    <message>
        <source>Export to CSV file</source>
        <translation>In CSV-Datei exportieren</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <source>Unable to export the messages to %1.
Details:
%2</source>
        <translation>Die Nachrichten konnten nicht nach %1 exportiert werden.
Einzelheiten:
%2</translation>
    </message>
    <message numerus="yes">
        <source>%n messages exported to %1</source>
        <translation>
            <numerusform>%n Nachricht nach %1 exportiert</numerusform>
            <numerusform>%n Nachrichten nach %1 exportiert</numerusform>
        </translation>
    </message>
    <message>
        <source>Export as Android SMS backup</source>
        <translation>Als Android-SMS-Sicherung exportieren</translation>
    </message>
    <message numerus="yes">
        <source>%n messages exported%1</source>
        <translation>
            <numerusform>%n Nachricht exportiert%1</numerusform>
            <numerusform>%n Nachrichten exportiert%1</numerusform>
        </translation>
    </message>
    <message>
        <source>Export contacts as vCard</source>
        <translation>Kontakte als vCard exportieren</translation>
    </message>
    <message>
        <source>vCard files (*.vcf)</source>
        <translation>vCard-Dateien (*.vcf)</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Kontakte</translation>
    </message>
    <message>
        <source>Unable to export the contacts to %1.
Details:
%2</source>
        <translation>Die Kontakte konnten nicht nach %1 exportiert werden.
Einzelheiten:
%2</translation>
    </message>
    <message numerus="yes">
        <source>%n contacts exported</source>
        <translation>
            <numerusform>%n Kontakt exportiert</numerusform>
            <numerusform>%n Kontakte exportiert</numerusform>
        </translation>
    </message>
    <message>
        <source>Export conversation as PDF</source>
        <translation>Unterhaltung als PDF exportieren</translation>
    </message>
    <message>
        <source>PDF files (*.pdf)</source>
        <translation>PDF-Dateien (*.pdf)</translation>
    </message>
    <message>
        <source>Unable to export the conversation to %1.
Details:
%2</source>
        <translation>Die Unterhaltung konnte nicht nach %1 exportiert werden.
Einzelheiten:
%2</translation>
    </message>
    <message numerus="yes">
        <source>Conversation of %n messages exported</source>
        <translation>
            <numerusform>Unterhaltung mit %n Nachricht exportiert</numerusform>
            <numerusform>Unterhaltung mit %n Nachrichten exportiert</numerusform>
        </translation>
    </message>
    <message>
        <source>Unable to print the conversation.</source>
        <translation>Die Unterhaltung konnte nicht gedruckt werden.</translation>
    </message>
    <message>
        <source>Conversation printed.</source>
        <translation>Unterhaltung gedruckt.</translation>
    </message>
    <message>
        <source>Export archive to a new folder</source>
        <translation>Archiv in einen neuen Ordner exportieren</translation>
    </message>
    <message>
        <source>Unable to write the archive.
Details:
%1</source>
        <translation>Das Archiv konnte nicht geschrieben werden.
Einzelheiten:
%1</translation>
    </message>
    <message>
        <source>Archive written: %1 messages, %2 contacts, %3 conversations, %4 attachments%5</source>
        <translation>Archiv geschrieben: %1 Nachrichten, %2 Kontakte, %3 Unterhaltungen, %4 Anhänge%5</translation>
    </message>
</context>
<context>
    <name>FrameMenus</name>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;About Quillet...</source>
        <translation>&amp;Über Quillet...</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Get SMSes</source>
        <translation>SMS &amp;abrufen</translation>
    </message>
    <message>
        <source>&amp;Contacts</source>
        <translation>&amp;Kontakte</translation>
    </message>
    <message>
        <source>&amp;Import...</source>
        <translation>&amp;Importieren...</translation>
    </message>
    <message>
        <source>Import &amp;Folder...</source>
        <translation>&amp;Ordner importieren...</translation>
    </message>
    <message>
        <source>&amp;Restore to Phone...</source>
        <translation>Auf Telefon &amp;wiederherstellen...</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Exportieren</translation>
    </message>
    <message>
        <source>to CSV file</source>
        <translation>in CSV-Datei</translation>
    </message>
    <message>
        <source>to XML file</source>
        <translation>in XML-Datei</translation>
    </message>
    <message>
        <source>Android SMS backup...</source>
        <translation>Android-SMS-Sicherung...</translation>
    </message>
    <message>
        <source>Android SMS backup with Deleted Items...</source>
        <translation>Android-SMS-Sicherung mit gelöschten Nachrichten...</translation>
    </message>
    <message>
        <source>Contacts as vCard...</source>
        <translation>Kontakte als vCard...</translation>
    </message>
    <message>
        <source>Conversation as PDF...</source>
        <translation>Unterhaltung als PDF...</translation>
    </message>
    <message>
        <source>Archive...</source>
        <translation>Archiv...</translation>
    </message>
    <message>
        <source>&amp;Print Conversation...</source>
        <translation>Unterhaltung &amp;drucken...</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Sms</source>
        <translation>&amp;SMS</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>&amp;Neu</translation>
    </message>
    <message>
        <source>&amp;Reply</source>
        <translation>&amp;Antworten</translation>
    </message>
    <message>
        <source>&amp;Forward</source>
        <translation>&amp;Weiterleiten</translation>
    </message>
    <message>
        <source>&amp;Mark read</source>
        <translation>Als &amp;gelesen markieren</translation>
    </message>
    <message>
        <source>Mark &amp;unread</source>
        <translation>Als &amp;ungelesen markieren</translation>
    </message>
    <message>
        <source>Select &amp;All</source>
        <translation>&amp;Alle auswählen</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>Delete only &amp;on device</source>
        <translation>Nur auf dem &amp;Gerät löschen</translation>
    </message>
    <message>
        <source>Mo&amp;ve to PC...</source>
        <translation>Auf den PC &amp;verschieben...</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Toolbar</source>
        <translation>&amp;Werkzeugleiste</translation>
    </message>
    <message>
        <source>&amp;Inbox</source>
        <translation>&amp;Posteingang</translation>
    </message>
    <message>
        <source>Sent &amp;Items</source>
        <translation>&amp;Gesendete Objekte</translation>
    </message>
    <message>
        <source>&amp;Deleted on device</source>
        <translation>Auf dem Gerät ge&amp;löscht</translation>
    </message>
    <message>
        <source>&amp;Conversations</source>
        <translation>&amp;Unterhaltungen</translation>
    </message>
    <message>
        <source>S&amp;earch</source>
        <translation>Su&amp;chen</translation>
    </message>
    <message>
        <source>&amp;Status Bar</source>
        <translation>&amp;Statusleiste</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>Werkzeugleiste</translation>
    </message>
    <message>
        <source>Get SMS</source>
        <translation>SMS abrufen</translation>
    </message>
    <message>
        <source>Get new SMS messages</source>
        <translation>Neue SMS-Nachrichten abrufen</translation>
    </message>
    <message>
        <source>New</source>
        <translation>Neu</translation>
    </message>
    <message>
        <source>Create new SMS message</source>
        <translation>Neue SMS schreiben</translation>
    </message>
    <message>
        <source>Reply</source>
        <translation>Antworten</translation>
    </message>
    <message>
        <source>Forward</source>
        <translation>Weiterleiten</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Kontakte</translation>
    </message>
    <message>
        <source>Import&amp;s...</source>
        <translation>Import&amp;e...</translation>
    </message>
</context>
<context>
    <name>ImportCommand</name>
    <message>
        <source>Import</source>
        <translation>Importieren</translation>
    </message>
    <message>
        <source>Reading %1
%2</source>
        <translation>Lese %1
%2</translation>
    </message>
    <message>
        <source>  %1 skipped: %2</source>
        <translation>  %1 übersprungen: %2</translation>
    </message>
    <message>
        <source>  %1, %2</source>
        <translation>  %1, %2</translation>
    </message>
    <message>
        <source>Possible duplicates (kept, look them up by date and number):</source>
        <translation>Mögliche Doppelte (behalten; nach Datum und Nummer nachschlagen):</translation>
    </message>
    <message>
        <source>Import a folder of backups</source>
        <translation>Einen Ordner mit Sicherungen importieren</translation>
    </message>
    <message>
        <source>Import backups</source>
        <translation>Sicherungen importieren</translation>
    </message>
    <message>
        <source>Import cancelled: nothing was kept.</source>
        <translation>Import abgebrochen: nichts wurde behalten.</translation>
    </message>
    <message>
        <source>Not imported: %1</source>
        <translation>Nicht importiert: %1</translation>
    </message>
    <message>
        <source>Nothing was kept: the boxes could not be saved.
Details:
%1</source>
        <translation>Nichts wurde behalten: die Ordner konnten nicht gespeichert werden.
Einzelheiten:
%1</translation>
    </message>
    <message numerus="yes">
        <source>%n contacts added</source>
        <translation>
            <numerusform>%n Kontakt hinzugefügt</numerusform>
            <numerusform>%n Kontakte hinzugefügt</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n messages imported</source>
        <translation>
            <numerusform>%n Nachricht importiert</numerusform>
            <numerusform>%n Nachrichten importiert</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 (%2): %3 added, %4 already kept, %5 possible duplicates, %6</source>
        <translation>%1 (%2): %3 hinzugefügt, %4 schon vorhanden, %5 mögliche Doppelte, %6</translation>
    </message>
    <message numerus="yes">
        <source>%n attachments</source>
        <translation>
            <numerusform>%n Anhang</numerusform>
            <numerusform>%n Anhänge</numerusform>
        </translation>
    </message>
    <message>
        <source>Another import or undo is running on Quillet&apos;s data folder (from the command line); try again when it has ended.</source>
        <translation>Ein anderer Import oder dessen Rückgängigmachen läuft gerade auf Quillets Datenordner (von der Befehlszeile); versuchen Sie es erneut, wenn er beendet ist.</translation>
    </message>
    <message>
        <source>Import %1: %2</source>
        <translation>Import %1: %2</translation>
    </message>
    <message>
        <source>Quillet&apos;s data folder %1 lies in a folder that %2 keeps in step with other computers. When Quillet changes the boxes on two computers before they were synced, %2 keeps the boxes of one and puts the other&apos;s beside them as conflict copies. Quillet looks for such copies each time it starts and offers to take their messages in. Let the folder sync before you start Quillet on another computer.</source>
        <translation>Quillets Datenordner %1 liegt in einem Ordner, den %2 mit anderen Computern abgleicht. Ändert Quillet die Postfächer auf zwei Computern, bevor sie abgeglichen wurden, behält %2 die Postfächer des einen und legt die des anderen als Konfliktkopien daneben. Quillet sucht bei jedem Start nach solchen Kopien und bietet an, ihre Nachrichten zu übernehmen. Lassen Sie den Ordner abgleichen, bevor Sie Quillet auf einem anderen Computer starten.</translation>
    </message>
    <message numerus="yes">
        <source>The data folder holds %n copies of the boxes that a file-sync program kept when two computers changed them:
%1
Messages kept on the other computer may be only there. Take them in now? Each copy becomes one import, which File &gt; Imports... can undo.</source>
        <translation>
            <numerusform>Der Datenordner enthält %n Kopie der Postfächer, die ein Synchronisationsprogramm angelegt hat, als zwei Computer sie änderten:
%1
Nachrichten, die auf dem anderen Computer gespeichert sind, stehen vielleicht nur dort. Jetzt übernehmen? Jede Kopie wird ein Import, den Datei &gt; Importe... rückgängig machen kann.</numerusform>
            <numerusform>Der Datenordner enthält %n Kopien der Postfächer, die ein Synchronisationsprogramm angelegt hat, als zwei Computer sie änderten:
%1
Nachrichten, die auf dem anderen Computer gespeichert sind, stehen vielleicht nur dort. Jetzt übernehmen? Jede Kopie wird ein Import, den Datei &gt; Importe... rückgängig machen kann.</numerusform>
        </translation>
    </message>
    <message>
        <source>Backups (*.xml *.zip *.smsbackup *.pib *.mbox *.eml *.msg *.vcf);;All files (*)</source>
        <translation>Sicherungen (*.xml *.zip *.smsbackup *.pib *.mbox *.eml *.msg *.vcf);;Alle Dateien (*)</translation>
    </message>
</context>
<context>
    <name>MessageRows</name>
    <message>
        <source>Select a message of the conversation first.</source>
        <translation>Wählen Sie zuerst eine Nachricht der Unterhaltung aus.</translation>
    </message>
</context>
<context>
    <name>MoveCommand</name>
    <message>
        <source>Inbox: %1, Sent Items: %2, Deleted Items: %3</source>
        <translation>Posteingang: %1, Gesendete Objekte: %2, Gelöschte Objekte: %3</translation>
    </message>
    <message>
        <source>Oldest: %1, newest: %2</source>
        <translation>Älteste: %1, neueste: %2</translation>
    </message>
    <message>
        <source>Only messages read back from the saved boxes are deleted.</source>
        <translation>Gelöscht werden nur Nachrichten, die aus den gespeicherten Ordnern zurückgelesen wurden.</translation>
    </message>
    <message numerus="yes">
        <source>%n messages moved to the PC.</source>
        <translation>
            <numerusform>%n Nachricht auf den PC verschoben.</numerusform>
            <numerusform>%n Nachrichten auf den PC verschoben.</numerusform>
        </translation>
    </message>
    <message>
        <source>not in the saved boxes (arrived meanwhile): %1</source>
        <translation>nicht in den gespeicherten Ordnern (inzwischen eingetroffen): %1</translation>
    </message>
    <message>
        <source>not chosen: %1</source>
        <translation>nicht ausgewählt: %1</translation>
    </message>
    <message>
        <source>changed on the phone: %1</source>
        <translation>auf dem Telefon geändert: %1</translation>
    </message>
    <message>
        <source>phone unplugged during the deletions: %1</source>
        <translation>Telefon während des Löschens getrennt: %1</translation>
    </message>
    <message>
        <source>the phone did not delete them: %1</source>
        <translation>vom Telefon nicht gelöscht: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n messages stay on the phone:</source>
        <translation>
            <numerusform>%n Nachricht bleibt auf dem Telefon:</numerusform>
            <numerusform>%n Nachrichten bleiben auf dem Telefon:</numerusform>
        </translation>
    </message>
    <message>
        <source>Details:
%1</source>
        <translation>Einzelheiten:
%1</translation>
    </message>
    <message>
        <source>Retrieving messages...</source>
        <translation>Nachrichten werden abgerufen …</translation>
    </message>
    <message>
        <source>Please Check your ActiveSync connection.
Details:
</source>
        <translation>Bitte prüfen Sie die ActiveSync-Verbindung.
Einzelheiten:
</translation>
    </message>
    <message>
        <source>There is not enough memory to take in the phone&apos;s messages.</source>
        <translation>Der Speicher reicht nicht, um die Nachrichten des Telefons aufzunehmen.</translation>
    </message>
    <message>
        <source>Move to PC failed: nothing was deleted.</source>
        <translation>Auf den PC verschieben fehlgeschlagen: Nichts wurde gelöscht.</translation>
    </message>
    <message>
        <source>Nothing to move: the phone holds no message.</source>
        <translation>Nichts zu verschieben: Das Telefon enthält keine Nachricht.</translation>
    </message>
    <message>
        <source>Move to PC cancelled: nothing was deleted.</source>
        <translation>Auf den PC verschieben abgebrochen: Nichts wurde gelöscht.</translation>
    </message>
    <message numerus="yes">
        <source>%n messages moved to the PC</source>
        <translation>
            <numerusform>%n Nachricht auf den PC verschoben</numerusform>
            <numerusform>%n Nachrichten auf den PC verschoben</numerusform>
        </translation>
    </message>
    <message>
        <source>stopped before their turn: %1</source>
        <translation>vor ihrer Reihe angehalten: %1</translation>
    </message>
    <message>
        <source>Deleting on the phone...</source>
        <translation>Lösche auf dem Telefon...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>With these choices no message leaves the phone.</source>
        <translation>Mit dieser Auswahl verlässt keine Nachricht das Telefon.</translation>
    </message>
    <message numerus="yes">
        <source>%n messages will be deleted on the phone.</source>
        <translation>
            <numerusform>%n Nachricht wird auf dem Telefon gelöscht.</numerusform>
            <numerusform>%n Nachrichten werden auf dem Telefon gelöscht.</numerusform>
        </translation>
    </message>
    <message>
        <source>Move to PC</source>
        <translation>Auf den PC verschieben</translation>
    </message>
    <message>
        <source>Deletes on the phone what the boxes keep, to make room there. The boxes keep every message, marked as no longer on the phone.</source>
        <translation>Löscht auf dem Telefon, was die Ordner aufbewahren, um dort Platz zu schaffen. Die Ordner behalten jede Nachricht, als nicht mehr auf dem Telefon gekennzeichnet.</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Aus</translation>
    </message>
    <message numerus="yes">
        <source>Inbox (%n on the phone)</source>
        <translation>
            <numerusform>Posteingang (%n auf dem Telefon)</numerusform>
            <numerusform>Posteingang (%n auf dem Telefon)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Sent Items (%n on the phone)</source>
        <translation>
            <numerusform>Gesendete Objekte (%n auf dem Telefon)</numerusform>
            <numerusform>Gesendete Objekte (%n auf dem Telefon)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Deleted Items (%n on the phone)</source>
        <translation>
            <numerusform>Gelöschte Objekte (%n auf dem Telefon)</numerusform>
            <numerusform>Gelöschte Objekte (%n auf dem Telefon)</numerusform>
        </translation>
    </message>
    <message>
        <source>Only messages older than</source>
        <translation>Nur Nachrichten älter als</translation>
    </message>
    <message numerus="yes">
        <source> days</source>
        <translation>
            <numerusform> Tag</numerusform>
            <numerusform> Tage</numerusform>
        </translation>
    </message>
    <message>
        <source>Keep on the phone the newest</source>
        <translation>Auf dem Telefon behalten: die neuesten</translation>
    </message>
    <message>
        <source> of each box</source>
        <translation> jedes Ordners</translation>
    </message>
</context>
<context>
    <name>ProgressTexts</name>
    <message numerus="yes">
        <source>About %n seconds left</source>
        <translation>
            <numerusform>Noch etwa %n Sekunde</numerusform>
            <numerusform>Noch etwa %n Sekunden</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>About %n minutes left</source>
        <translation>
            <numerusform>Noch etwa %n Minute</numerusform>
            <numerusform>Noch etwa %n Minuten</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>RestoreCommand</name>
    <message>
        <source>Inbox and Sent Items</source>
        <translation>Posteingang und Gesendete Objekte</translation>
    </message>
    <message>
        <source>Conversation with %1</source>
        <translation>Unterhaltung mit %1</translation>
    </message>
    <message numerus="yes">
        <source>%n selected messages</source>
        <translation>
            <numerusform>%n ausgewählte Nachricht</numerusform>
            <numerusform>%n ausgewählte Nachrichten</numerusform>
        </translation>
    </message>
    <message>
        <source>Contacts onto the SIM</source>
        <translation>Kontakte auf die SIM-Karte</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Kontakte</translation>
    </message>
    <message numerus="yes">
        <source>Write %n messages to the phone?</source>
        <translation>
            <numerusform>%n Nachricht auf das Telefon schreiben?</numerusform>
            <numerusform>%n Nachrichten auf das Telefon schreiben?</numerusform>
        </translation>
    </message>
    <message>
        <source>Inbox: %1, Sent Items: %2</source>
        <translation>Posteingang: %1, Gesendete Objekte: %2</translation>
    </message>
    <message numerus="yes">
        <source>Write %n contacts to the phone?</source>
        <translation>
            <numerusform>%n Kontakt auf das Telefon schreiben?</numerusform>
            <numerusform>%n Kontakte auf das Telefon schreiben?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n are on the phone already and are not written again.</source>
        <translation>
            <numerusform>%n ist schon auf dem Telefon und wird nicht noch einmal geschrieben.</numerusform>
            <numerusform>%n sind schon auf dem Telefon und werden nicht noch einmal geschrieben.</numerusform>
        </translation>
    </message>
    <message>
        <source>Nothing on the phone is deleted.</source>
        <translation>Auf dem Telefon wird nichts gelöscht.</translation>
    </message>
    <message numerus="yes">
        <source>%n messages written to the phone.</source>
        <translation>
            <numerusform>%n Nachricht auf das Telefon geschrieben.</numerusform>
            <numerusform>%n Nachrichten auf das Telefon geschrieben.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contacts written to the phone.</source>
        <translation>
            <numerusform>%n Kontakt auf das Telefon geschrieben.</numerusform>
            <numerusform>%n Kontakte auf das Telefon geschrieben.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>The phone did not take %n messages.</source>
        <translation>
            <numerusform>Das Telefon hat %n Nachricht nicht angenommen.</numerusform>
            <numerusform>Das Telefon hat %n Nachrichten nicht angenommen.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n contacts were not taken (the SIM is full).</source>
        <translation>
            <numerusform>%n Kontakt wurde nicht angenommen (die SIM-Karte ist voll).</numerusform>
            <numerusform>%n Kontakte wurden nicht angenommen (die SIM-Karte ist voll).</numerusform>
        </translation>
    </message>
    <message>
        <source>Stopped: restore again to write the rest.</source>
        <translation>Angehalten: Stellen Sie erneut wieder her, um den Rest zu schreiben.</translation>
    </message>
    <message>
        <source>The link failed: restore again to write the rest.
Details:
%1</source>
        <translation>Die Verbindung ist abgebrochen: Stellen Sie erneut wieder her, um den Rest zu schreiben.
Details:
%1</translation>
    </message>
    <message>
        <source>Please Check your ActiveSync connection.
Details:
</source>
        <translation>Bitte prüfen Sie die ActiveSync-Verbindung.
Einzelheiten:
</translation>
    </message>
    <message>
        <source>Restore to phone failed: nothing was written.</source>
        <translation>Wiederherstellen auf dem Telefon fehlgeschlagen: nichts wurde geschrieben.</translation>
    </message>
    <message>
        <source>What should go back onto the phone?</source>
        <translation>Was soll zurück auf das Telefon?</translation>
    </message>
    <message>
        <source>This phone&apos;s agent cannot restore messages or contacts; nothing was changed.</source>
        <translation>Der Agent dieses Telefons kann keine Nachrichten oder Kontakte wiederherstellen; nichts wurde geändert.</translation>
    </message>
    <message>
        <source>Restore to phone: this phone&apos;s agent cannot restore.</source>
        <translation>Wiederherstellen auf dem Telefon: Der Agent dieses Telefons kann nicht wiederherstellen.</translation>
    </message>
    <message>
        <source>Nothing to restore: the phone holds all of it already.</source>
        <translation>Nichts wiederherzustellen: Das Telefon hat schon alles.</translation>
    </message>
    <message>
        <source>Restore to phone cancelled: nothing was written.</source>
        <translation>Wiederherstellen auf dem Telefon abgebrochen: nichts wurde geschrieben.</translation>
    </message>
    <message>
        <source>Writing to the phone...</source>
        <translation>Schreibe auf das Telefon...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message numerus="yes">
        <source>%n messages restored to the phone</source>
        <translation>
            <numerusform>%n Nachricht auf dem Telefon wiederhergestellt</numerusform>
            <numerusform>%n Nachrichten auf dem Telefon wiederhergestellt</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n messages are longer than the phone takes and are left out:</source>
        <translation>
            <numerusform>%n Nachricht ist länger, als das Telefon aufnimmt, und wird ausgelassen:</numerusform>
            <numerusform>%n Nachrichten sind länger, als das Telefon aufnimmt, und werden ausgelassen:</numerusform>
        </translation>
    </message>
    <message>
        <source>Nothing was written.
Details:
%1</source>
        <translation>Nichts wurde geschrieben.
Einzelheiten:
%1</translation>
    </message>
    <message numerus="yes">
        <source>%n contacts restored to the phone</source>
        <translation>
            <numerusform>%n Kontakt auf dem Telefon wiederhergestellt</numerusform>
            <numerusform>%n Kontakte auf dem Telefon wiederhergestellt</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>StatusPanes</name>
    <message>
        <source>Ready</source>
        <translation>Bereit</translation>
    </message>
</context>
<context>
    <name>quillet::AboutBox</name>
    <message>
        <source>About Quillet</source>
        <translation>Über Quillet</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>Reads, keeps, exports and sends the text messages of your phone, and shows its contacts by name.</source>
        <translation>Liest, bewahrt, exportiert und sendet die Textnachrichten Ihres Telefons und zeigt seine Kontakte mit Namen.</translation>
    </message>
    <message>
        <source>The phone&apos;s agent, phonelet, is copied to the phone and started there each time the phone is connected.</source>
        <translation>Der Agent des Telefons, phonelet, wird bei jeder Verbindung auf das Telefon kopiert und dort gestartet.</translation>
    </message>
</context>
<context>
    <name>quillet::Archive</name>
    <message>
        <source>conversations: the folder could not be made</source>
        <translation>conversations: Der Ordner konnte nicht angelegt werden</translation>
    </message>
    <message>
        <source>%1 exists already; the archive goes into a new folder.</source>
        <translation>%1 gibt es schon; das Archiv kommt in einen neuen Ordner.</translation>
    </message>
    <message>
        <source>The archive needs all three boxes.</source>
        <translation>Das Archiv braucht alle drei Ordner.</translation>
    </message>
    <message>
        <source>Could not make a folder beside %1</source>
        <translation>Neben %1 konnte kein Ordner angelegt werden</translation>
    </message>
    <message>
        <source>Could not move the archive into place as %1</source>
        <translation>Das Archiv konnte nicht als %1 an seinen Platz gebracht werden</translation>
    </message>
    <message>
        <source>This folder is an archive of the text messages and contacts kept by Quillet.

sms-backup.xml   Inbox and Sent Items as an Android SMS backup (XML), the
                 format Android backup-and-restore apps read back into a
                 phone&apos;s messages. Deleted Items are not in it.
contacts.vcf     The contact list as vCard 3.0 cards, for address books.
inbox.csv        Each box as Quillet&apos;s CSV export: name, number, date and
sent.csv         time, and the text in double quotes. UTF-8 text with
deleted.csv      CR LF line ends.
conversations/   One PDF per correspondent: every message exchanged, oldest
                 first, received on the left and sent on the right.
</source>
        <translation>Dieser Ordner ist ein Archiv der Textnachrichten und Kontakte, die Quillet aufbewahrt.

sms-backup.xml   Posteingang und Gesendete Objekte als Android-SMS-Sicherung
                 (XML), das Format, das Android-Sicherungs-Apps wieder in die
                 Nachrichten eines Telefons einspielen. Gelöschte Objekte
                 sind nicht darin.
contacts.vcf     Die Kontaktliste als vCard-3.0-Karten, für Adressbücher.
inbox.csv        Jeder Ordner als CSV-Export von Quillet: Name, Nummer, Datum
sent.csv         und Uhrzeit, und der Text in doppelten Anführungszeichen.
deleted.csv      Text in UTF-8 mit CR-LF-Zeilenenden.
conversations/   Ein PDF je Gesprächspartner: jede ausgetauschte Nachricht, die
                 älteste zuerst, empfangene links und gesendete rechts.
</translation>
    </message>
    <message>
        <source>attachments/     Pictures, sounds and other files of imported messages (%n),
                 a folder per import, named by its number in imports.txt. A
                 message names its file on a line such as &quot;[picture: NAME]&quot;.
imports.txt      The imports the messages came from, one line each: number,
                 time (UTC), file, kind, messages added, already kept,
                 possible duplicates, attachments, and &quot;undone&quot; where it was.
</source>
        <translation>attachments/     Bilder, Töne und andere Dateien importierter Nachrichten (%n),
                 ein Ordner je Import, benannt nach seiner Nummer in imports.txt.
                 Eine Nachricht nennt ihre Datei in einer Zeile wie &quot;[picture: NAME]&quot;.
imports.txt      Die Importe, aus denen die Nachrichten stammen, je eine Zeile:
                 Nummer, Zeit (UTC), Datei, Art, hinzugefügte Nachrichten, schon
                 vorhandene, mögliche Duplikate, Anhänge und &quot;undone&quot;, wo er
                 rückgängig gemacht wurde.
</translation>
    </message>
    <message>
        <source>%1 could not be copied</source>
        <translation>%1 konnte nicht kopiert werden</translation>
    </message>
</context>
<context>
    <name>quillet::ContactsModel</name>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Number</source>
        <translation>Nummer</translation>
    </message>
</context>
<context>
    <name>quillet::ContactsWindow</name>
    <message>
        <source>Contacts</source>
        <translation>Kontakte</translation>
    </message>
    <message>
        <source>Get Contacts from SIM</source>
        <translation>Kontakte von der SIM holen</translation>
    </message>
    <message>
        <source>Add Contact</source>
        <translation>Kontakt hinzufügen</translation>
    </message>
    <message>
        <source>Import from phone</source>
        <translation>Vom Telefon importieren</translation>
    </message>
    <message>
        <source>Could not save the contacts file.
Details:
</source>
        <translation>Die Kontaktdatei konnte nicht gespeichert werden.
Einzelheiten:
</translation>
    </message>
    <message>
        <source>No copy of the file as found could be kept.</source>
        <translation>Es konnte keine Kopie der vorgefundenen Datei behalten werden.</translation>
    </message>
    <message>
        <source>The file as found was kept as %1.</source>
        <translation>Die vorgefundene Datei wurde als %1 behalten.</translation>
    </message>
    <message>
        <source>The contacts file could not be read; the list starts empty.
Details:
%1</source>
        <translation>Die Kontaktdatei konnte nicht gelesen werden; die Liste beginnt leer.
Einzelheiten:
%1</translation>
    </message>
    <message>
        <source>The contacts file is damaged: %1 contacts could be read.
Details:
%2
%3</source>
        <translation>Die Kontaktdatei ist beschädigt: %1 Kontakte konnten gelesen werden.
Einzelheiten:
%2
%3</translation>
    </message>
    <message>
        <source>Contact list Updated</source>
        <translation>Kontaktliste aktualisiert</translation>
    </message>
    <message>
        <source>Retrieving contacts...</source>
        <translation>Kontakte werden abgerufen …</translation>
    </message>
    <message>
        <source>Contact list not updated: the phone could not be reached.</source>
        <translation>Kontaktliste nicht aktualisiert: Das Telefon war nicht erreichbar.</translation>
    </message>
    <message>
        <source>Contact list Updated: the phone has no contacts.</source>
        <translation>Kontaktliste aktualisiert: Das Telefon hat keine Kontakte.</translation>
    </message>
    <message>
        <source>Contact list Updated, but not saved.</source>
        <translation>Kontaktliste aktualisiert, aber nicht gespeichert.</translation>
    </message>
</context>
<context>
    <name>quillet::ConversationList</name>
    <message>
        <source>Reply</source>
        <translation>Antworten</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Delete on device</source>
        <translation>Auf dem Gerät löschen</translation>
    </message>
    <message>
        <source>There is not enough memory to list the conversations. The messages are kept as they are; close other programs and choose Conversations again.</source>
        <translation>Der Speicher reicht nicht, um die Unterhaltungen aufzulisten. Die Nachrichten bleiben, wie sie sind; schließen Sie andere Programme und wählen Sie erneut Unterhaltungen.</translation>
    </message>
    <message>
        <source>There is not enough memory to show this conversation. Its messages are kept as they are; close other programs and choose it again.</source>
        <translation>Der Speicher reicht nicht, um diese Unterhaltung anzuzeigen. Ihre Nachrichten bleiben, wie sie sind; schließen Sie andere Programme und wählen Sie sie erneut.</translation>
    </message>
    <message>
        <source>Select a conversation first.</source>
        <translation>Wählen Sie zuerst eine Unterhaltung.</translation>
    </message>
</context>
<context>
    <name>quillet::ConversationListModel</name>
    <message>
        <source>Correspondent</source>
        <translation>Gesprächspartner</translation>
    </message>
    <message>
        <source>Last message</source>
        <translation>Letzte Nachricht</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Datum</translation>
    </message>
    <message>
        <source>Messages</source>
        <translation>Nachrichten</translation>
    </message>
    <message>
        <source>Unread</source>
        <translation>Ungelesen</translation>
    </message>
    <message>
        <source>(no number)</source>
        <translation>(keine Nummer)</translation>
    </message>
</context>
<context>
    <name>quillet::ConversationPage</name>
    <message>
        <source>deleted on device</source>
        <translation>auf dem Gerät gelöscht</translation>
    </message>
    <message numerus="yes">
        <source>Show earlier messages (%n more)</source>
        <translation>
            <numerusform>Frühere Nachrichten zeigen (%n weitere)</numerusform>
            <numerusform>Frühere Nachrichten zeigen (%n weitere)</numerusform>
        </translation>
    </message>
    <message>
        <source>1 message</source>
        <translation>1 Nachricht</translation>
    </message>
    <message numerus="yes">
        <source>%n messages</source>
        <translation>
            <numerusform>%n Nachricht</numerusform>
            <numerusform>%n Nachrichten</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quillet::ConversationPrint</name>
    <message>
        <source>deleted on device</source>
        <translation>auf dem Gerät gelöscht</translation>
    </message>
    <message>
        <source>No messages.</source>
        <translation>Keine Nachrichten.</translation>
    </message>
    <message>
        <source>Unknown sender</source>
        <translation>Unbekannter Absender</translation>
    </message>
    <message>
        <source>Page %1 of %2</source>
        <translation>Seite %1 von %2</translation>
    </message>
    <message>
        <source>Could not lay out the pages of %1</source>
        <translation>Die Seiten von %1 konnten nicht gesetzt werden</translation>
    </message>
</context>
<context>
    <name>quillet::DesktopNotifier</name>
    <message>
        <source>Show</source>
        <translation>Anzeigen</translation>
    </message>
</context>
<context>
    <name>quillet::EngineText</name>
    <message>
        <source>importing inbox...</source>
        <translation>Posteingang wird importiert …</translation>
    </message>
    <message>
        <source>importing inbox: %1%</source>
        <translation>Posteingang wird importiert: %1 %</translation>
    </message>
    <message>
        <source>importing sent sms...</source>
        <translation>Gesendete SMS werden importiert …</translation>
    </message>
    <message>
        <source>importing sent sms: %1%</source>
        <translation>Gesendete SMS werden importiert: %1 %</translation>
    </message>
    <message>
        <source>importing deleted sms...</source>
        <translation>Gelöschte SMS werden importiert …</translation>
    </message>
    <message>
        <source>importing deleted sms: %1%</source>
        <translation>Gelöschte SMS werden importiert: %1 %</translation>
    </message>
    <message>
        <source>retrieving contact %1: %2</source>
        <translation>Kontakt %1 wird abgerufen: %2</translation>
    </message>
    <message>
        <source>OnDeviceError: could not send sms to %1</source>
        <translation>Fehler auf dem Telefon: Die SMS an %1 konnte nicht gesendet werden</translation>
    </message>
    <message>
        <source>Could not connect</source>
        <translation>Keine Verbindung zum Telefon</translation>
    </message>
    <message>
        <source>Could not connect: the link is busy</source>
        <translation>Keine Verbindung zum Telefon: Die Verbindung ist gerade belegt</translation>
    </message>
    <message>
        <source>Could not connect: The phone is in use by %1; try again when it has finished.</source>
        <translation>Keine Verbindung zum Telefon: Das Telefon wird gerade von %1 verwendet; versuchen Sie es erneut, wenn es fertig ist.</translation>
    </message>
    <message>
        <source>The phone is in use by %1; try again when it has finished.</source>
        <translation>Das Telefon wird gerade von %1 verwendet; versuchen Sie es erneut, wenn es fertig ist.</translation>
    </message>
    <message>
        <source>Could not connect: %1</source>
        <translation>Keine Verbindung zum Telefon: %1</translation>
    </message>
    <message>
        <source>No contacts available. Please Check your ActiveSync connection.</source>
        <translation>Keine Kontakte verfügbar. Bitte prüfen Sie die ActiveSync-Verbindung.</translation>
    </message>
    <message>
        <source>No contacts available. Please Check your ActiveSync connection.
details:
%1</source>
        <translation>Keine Kontakte verfügbar. Bitte prüfen Sie die ActiveSync-Verbindung.
Einzelheiten:
%1</translation>
    </message>
    <message>
        <source>You have received a new SMS message.</source>
        <translation>Sie haben eine neue SMS erhalten.</translation>
    </message>
    <message>
        <source>Box files of an earlier run remain in %1; your messages are kept in %2.</source>
        <translation>In %1 liegen noch Postfachdateien eines früheren Laufs; Ihre Nachrichten werden in %2 aufbewahrt.</translation>
    </message>
    <message>
        <source>Your messages could not be moved from %1 to %2 (%3); they are used where they are for now.</source>
        <translation>Ihre Nachrichten konnten nicht von %1 nach %2 verschoben werden (%3); sie werden vorerst dort verwendet, wo sie sind.</translation>
    </message>
    <message>
        <source>Your messages were moved from %1 to %2.</source>
        <translation>Ihre Nachrichten wurden von %1 nach %2 verschoben.</translation>
    </message>
    <message>
        <source>Your messages were moved to %1; left in %2, as %1 has its own:%3.</source>
        <translation>Ihre Nachrichten wurden nach %1 verschoben; in %2 geblieben, weil %1 eigene hat:%3.</translation>
    </message>
    <message>
        <source>restoring to the phone: %1%</source>
        <translation>Wiederherstellen auf dem Telefon: %1%</translation>
    </message>
    <message>
        <source>Android backup</source>
        <translation>Android-Sicherung</translation>
    </message>
    <message>
        <source>Android call log</source>
        <translation>Android-Anrufliste</translation>
    </message>
    <message>
        <source>Gammu backup</source>
        <translation>Gammu-Sicherung</translation>
    </message>
    <message>
        <source>Quillet folder</source>
        <translation>Quillet-Ordner</translation>
    </message>
    <message>
        <source>a draft</source>
        <translation>ein Entwurf</translation>
    </message>
    <message>
        <source>a message in the outbox</source>
        <translation>eine Nachricht im Postausgang</translation>
    </message>
    <message>
        <source>a message that failed to send</source>
        <translation>eine Nachricht, deren Senden fehlschlug</translation>
    </message>
    <message>
        <source>a message queued to be sent</source>
        <translation>eine Nachricht, die auf das Senden wartet</translation>
    </message>
    <message>
        <source>a delivery report</source>
        <translation>ein Zustellbericht</translation>
    </message>
    <message>
        <source>a machine message (a WAP push or settings), not a text</source>
        <translation>eine Maschinennachricht (WAP-Push oder Einstellungen), kein Text</translation>
    </message>
    <message>
        <source>an SMS of unknown type</source>
        <translation>eine SMS unbekannter Art</translation>
    </message>
    <message>
        <source>an MMS of unknown box</source>
        <translation>eine MMS aus unbekanntem Ordner</translation>
    </message>
    <message>
        <source>an SMS that is neither received nor sent</source>
        <translation>eine SMS, die weder empfangen noch gesendet ist</translation>
    </message>
    <message>
        <source>an MMS that is neither received nor sent</source>
        <translation>eine MMS, die weder empfangen noch gesendet ist</translation>
    </message>
    <message>
        <source>an SMS without a readable date</source>
        <translation>eine SMS ohne lesbares Datum</translation>
    </message>
    <message>
        <source>an MMS without a readable date</source>
        <translation>eine MMS ohne lesbares Datum</translation>
    </message>
    <message>
        <source>a message without a readable time</source>
        <translation>eine Nachricht ohne lesbare Zeit</translation>
    </message>
    <message>
        <source>an SMS with a date before 1601</source>
        <translation>eine SMS mit einem Datum vor 1601</translation>
    </message>
    <message>
        <source>an SMS with a date after 30828</source>
        <translation>eine SMS mit einem Datum nach 30828</translation>
    </message>
    <message>
        <source>an MMS with a date before 1601</source>
        <translation>eine MMS mit einem Datum vor 1601</translation>
    </message>
    <message>
        <source>an MMS with a date after 30828</source>
        <translation>eine MMS mit einem Datum nach 30828</translation>
    </message>
    <message>
        <source>a message with a date before 1601</source>
        <translation>eine Nachricht mit einem Datum vor 1601</translation>
    </message>
    <message>
        <source>a message with a date after 30828</source>
        <translation>eine Nachricht mit einem Datum nach 30828</translation>
    </message>
    <message>
        <source>an SMS with a value longer than 8 MB</source>
        <translation>eine SMS mit einem Wert über 8 MB</translation>
    </message>
    <message>
        <source>an MMS with a value longer than 8 MB</source>
        <translation>eine MMS mit einem Wert über 8 MB</translation>
    </message>
    <message>
        <source>an MMS part with a value longer than 8 MB</source>
        <translation>ein MMS-Teil mit einem Wert über 8 MB</translation>
    </message>
    <message>
        <source>an MMS without any part</source>
        <translation>eine MMS ohne jeden Teil</translation>
    </message>
    <message>
        <source>an MMS part whose data is damaged</source>
        <translation>ein MMS-Teil mit beschädigten Daten</translation>
    </message>
    <message>
        <source>an attachment that could not be saved</source>
        <translation>ein Anhang, der nicht gespeichert werden konnte</translation>
    </message>
    <message>
        <source>a message at or after the damage, which could not be read</source>
        <translation>eine Nachricht an oder nach der beschädigten Stelle, die nicht gelesen werden konnte</translation>
    </message>
    <message>
        <source>a section with more than 64 kB of text</source>
        <translation>ein Abschnitt mit mehr als 64 kB Text</translation>
    </message>
    <message>
        <source>a text with damaged hex (the readable part kept)</source>
        <translation>ein Text mit beschädigten Hex-Ziffern (der lesbare Teil ist erhalten)</translation>
    </message>
    <message>
        <source>a long message with parts missing (kept with the parts there are)</source>
        <translation>eine lange Nachricht mit fehlenden Teilen (mit den vorhandenen Teilen behalten)</translation>
    </message>
    <message>
        <source>a line longer than 1 MB</source>
        <translation>eine Zeile über 1 MB</translation>
    </message>
    <message>
        <source>a line longer than 16 MB</source>
        <translation>eine Zeile über 16 MB</translation>
    </message>
    <message>
        <source>a line that is not a JSON object</source>
        <translation>eine Zeile, die kein JSON-Objekt ist</translation>
    </message>
    <message>
        <source>a ZIP entry whose size cannot be read</source>
        <translation>ein ZIP-Eintrag, dessen Größe nicht lesbar ist</translation>
    </message>
    <message>
        <source>a ZIP entry larger than 4 GB</source>
        <translation>ein ZIP-Eintrag über 4 GB</translation>
    </message>
    <message>
        <source>a ZIP entry that expands more than 100 times (a ZIP bomb)</source>
        <translation>ein ZIP-Eintrag, der sich um mehr als das Hundertfache entpackt (eine ZIP-Bombe)</translation>
    </message>
    <message>
        <source>a contact card without a phone number</source>
        <translation>eine Kontaktkarte ohne Telefonnummer</translation>
    </message>
    <message>
        <source>a contact card cut off before its end</source>
        <translation>eine Kontaktkarte, die vor ihrem Ende abbricht</translation>
    </message>
    <message>
        <source>not a backup Quillet can read</source>
        <translation>keine Sicherung, die Quillet lesen kann</translation>
    </message>
    <message>
        <source>holds no backup Quillet can read</source>
        <translation>enthält keine Sicherung, die Quillet lesen kann</translation>
    </message>
    <message>
        <source>a call log, not messages: nothing to import</source>
        <translation>eine Anrufliste, keine Nachrichten: nichts zu importieren</translation>
    </message>
    <message>
        <source>there is no such file or folder</source>
        <translation>diese Datei oder diesen Ordner gibt es nicht</translation>
    </message>
    <message>
        <source>a named pipe, not a file: skipped</source>
        <translation>eine benannte Pipe, keine Datei: übersprungen</translation>
    </message>
    <message>
        <source>a device, not a file: skipped</source>
        <translation>ein Gerät, keine Datei: übersprungen</translation>
    </message>
    <message>
        <source>a socket, not a file: skipped</source>
        <translation>ein Socket, keine Datei: übersprungen</translation>
    </message>
    <message>
        <source>a special file, not a file: skipped</source>
        <translation>eine Spezialdatei, keine Datei: übersprungen</translation>
    </message>
    <message>
        <source>the file could not be read</source>
        <translation>die Datei konnte nicht gelesen werden</translation>
    </message>
    <message>
        <source>the file holds no XML element</source>
        <translation>die Datei enthält kein XML-Element</translation>
    </message>
    <message>
        <source>the file is not well-formed XML</source>
        <translation>die Datei ist kein wohlgeformtes XML</translation>
    </message>
    <message>
        <source>the file is in UTF-16; backups are read in UTF-8</source>
        <translation>die Datei ist in UTF-16; Sicherungen werden in UTF-8 gelesen</translation>
    </message>
    <message>
        <source>the file declares entities or a document type of its own, which a backup never does: refused</source>
        <translation>die Datei deklariert Entitäten oder einen eigenen Dokumenttyp, was eine Sicherung nie tut: abgelehnt</translation>
    </message>
    <message>
        <source>an Android call log: it holds calls, not messages</source>
        <translation>eine Android-Anrufliste: sie enthält Anrufe, keine Nachrichten</translation>
    </message>
    <message>
        <source>not a readable ZIP file</source>
        <translation>keine lesbare ZIP-Datei</translation>
    </message>
    <message>
        <source>a ZIP without messages.ndjson: not an sms-ie export</source>
        <translation>ein ZIP ohne messages.ndjson: kein sms-ie-Export</translation>
    </message>
    <message>
        <source>an sms-ie export of the older kind (one JSON document), which is not read: export again with a current sms-ie</source>
        <translation>ein sms-ie-Export der älteren Art (ein JSON-Dokument), der nicht gelesen wird: bitte mit einem aktuellen sms-ie neu exportieren</translation>
    </message>
    <message>
        <source>messages.ndjson does not hold JSON objects</source>
        <translation>messages.ndjson enthält keine JSON-Objekte</translation>
    </message>
    <message>
        <source>messages.ndjson could not be read from the ZIP</source>
        <translation>messages.ndjson konnte nicht aus dem ZIP gelesen werden</translation>
    </message>
    <message>
        <source>a contacts file over 64 MB: not read</source>
        <translation>eine Kontaktdatei über 64 MB: nicht gelesen</translation>
    </message>
    <message>
        <source>more than 100,000 cards: not read</source>
        <translation>mehr als 100.000 Karten: nicht gelesen</translation>
    </message>
    <message>
        <source>not enough memory to read it</source>
        <translation>nicht genug Speicher, um sie zu lesen</translation>
    </message>
    <message>
        <source>it ends in the middle of a message (the file was cut short)</source>
        <translation>sie endet mitten in einer Nachricht (die Datei wurde abgeschnitten)</translation>
    </message>
    <message>
        <source>elements nested more than 256 deep, which a backup never holds</source>
        <translation>Elemente, die tiefer als 256 Ebenen verschachtelt sind, was eine Sicherung nie enthält</translation>
    </message>
    <message>
        <source>the file announces %1 messages but holds %2</source>
        <translation>die Datei kündigt %1 Nachrichten an, enthält aber %2</translation>
    </message>
    <message>
        <source>%1 characters could not be read as written and were replaced by %2</source>
        <translation>%1 Zeichen konnten nicht wie geschrieben gelesen werden und wurden durch %2 ersetzt</translation>
    </message>
    <message>
        <source>the file is damaged at line %1: %2</source>
        <translation>die Datei ist in Zeile %1 beschädigt: %2</translation>
    </message>
    <message>
        <source>the file cannot be opened: %1</source>
        <translation>die Datei lässt sich nicht öffnen: %1</translation>
    </message>
    <message>
        <source>it cannot be read: %1</source>
        <translation>sie kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>not an Android message backup (its root is &lt;%1&gt;)</source>
        <translation>keine Android-Nachrichtensicherung (ihr Wurzelelement ist &lt;%1&gt;)</translation>
    </message>
    <message>
        <source>messages.ndjson refused: %1</source>
        <translation>messages.ndjson abgelehnt: %1</translation>
    </message>
    <message>
        <source>a number the contact list already holds</source>
        <translation>eine Nummer, die die Kontaktliste schon enthält</translation>
    </message>
</context>
<context>
    <name>quillet::HelpWindow</name>
    <message>
        <source>Quillet Help</source>
        <translation>Quillet-Hilfe</translation>
    </message>
</context>
<context>
    <name>quillet::HtmlFormView</name>
    <message>
        <source>Imported from %1 (%2) on %3.</source>
        <translation>Importiert aus %1 (%2) am %3.</translation>
    </message>
    <message>
        <source>Attachments: %1</source>
        <translation>Anhänge: %1</translation>
    </message>
</context>
<context>
    <name>quillet::ImportHistoryWindow</name>
    <message>
        <source>running</source>
        <translation>läuft</translation>
    </message>
    <message>
        <source>undone (finished at the next start)</source>
        <translation>rückgängig gemacht (beim nächsten Start abgeschlossen)</translation>
    </message>
    <message>
        <source>undone</source>
        <translation>rückgängig gemacht</translation>
    </message>
    <message>
        <source>Import %1 of %2 (%3), %4:</source>
        <translation>Import %1 von %2 (%3), %4:</translation>
    </message>
    <message numerus="yes">
        <source>%n messages added</source>
        <translation>
            <numerusform>%n Nachricht hinzugefügt</numerusform>
            <numerusform>%n Nachrichten hinzugefügt</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n already kept</source>
        <translation>
            <numerusform>%n schon vorhanden</numerusform>
            <numerusform>%n schon vorhanden</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n possible duplicates</source>
        <translation>
            <numerusform>%n mögliches Duplikat</numerusform>
            <numerusform>%n mögliche Duplikate</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n attachments</source>
        <translation>
            <numerusform>%n Anhang</numerusform>
            <numerusform>%n Anhänge</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 skipped: %2</source>
        <translation>%1 übersprungen: %2</translation>
    </message>
    <message numerus="yes">
        <source>Import %1 undone: %n messages removed</source>
        <translation>
            <numerusform>Import %1 rückgängig gemacht: %n Nachricht entfernt</numerusform>
            <numerusform>Import %1 rückgängig gemacht: %n Nachrichten entfernt</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n kept (the phone holds them now)</source>
        <translation>
            <numerusform>, %n behalten (das Telefon hat sie jetzt)</numerusform>
            <numerusform>, %n behalten (das Telefon hat sie jetzt)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n not found (changed or deleted since)</source>
        <translation>
            <numerusform>, %n nicht gefunden (seitdem geändert oder gelöscht)</numerusform>
            <numerusform>, %n nicht gefunden (seitdem geändert oder gelöscht)</numerusform>
        </translation>
    </message>
    <message>
        <source>Imports</source>
        <translation>Importe</translation>
    </message>
    <message>
        <source>No.</source>
        <translation>Nr.</translation>
    </message>
    <message>
        <source>When</source>
        <translation>Wann</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>Art</translation>
    </message>
    <message>
        <source>Added</source>
        <translation>Hinzugefügt</translation>
    </message>
    <message>
        <source>Already kept</source>
        <translation>Schon vorhanden</translation>
    </message>
    <message>
        <source>Possible duplicates</source>
        <translation>Mögliche Duplikate</translation>
    </message>
    <message>
        <source>Attachments</source>
        <translation>Anhänge</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Stand</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Rückgängig</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Nothing has been imported yet: File &gt; Import... brings in another phone&apos;s backup.</source>
        <translation>Noch nichts importiert: Datei &gt; Import... übernimmt die Sicherung eines anderen Telefons.</translation>
    </message>
    <message numerus="yes">
        <source>Undo import %1 of %2? Its %n messages are taken out of the boxes, except those the phone holds now.</source>
        <translation>
            <numerusform>Import %1 von %2 rückgängig machen? Seine %n Nachricht wird aus den Ordnern entfernt, außer das Telefon hat sie jetzt.</numerusform>
            <numerusform>Import %1 von %2 rückgängig machen? Seine %n Nachrichten werden aus den Ordnern entfernt, außer denen, die das Telefon jetzt hat.</numerusform>
        </translation>
    </message>
    <message>
        <source>Import %1 could not be undone.
Details:
%2</source>
        <translation>Import %1 konnte nicht rückgängig gemacht werden.
Einzelheiten:
%2</translation>
    </message>
    <message numerus="yes">
        <source>%n of the messages import %1 added could not be found: they were changed or deleted since. Their attachments are kept.</source>
        <translation>
            <numerusform>%n der Nachrichten, die Import %1 hinzugefügt hat, wurde nicht gefunden: sie wurde seitdem geändert oder gelöscht. Ihre Anhänge bleiben erhalten.</numerusform>
            <numerusform>%n der Nachrichten, die Import %1 hinzugefügt hat, wurden nicht gefunden: sie wurden seitdem geändert oder gelöscht. Ihre Anhänge bleiben erhalten.</numerusform>
        </translation>
    </message>
    <message>
        <source>Came with import %1, which brought in the Quillet folder that held it; undoing that one undoes this one too.</source>
        <translation>Kam mit Import %1, der den Quillet-Ordner übernahm, in dem er lag; macht man jenen rückgängig, wird auch dieser rückgängig gemacht.</translation>
    </message>
</context>
<context>
    <name>quillet::ListPane</name>
    <message>
        <source>Search text, number or name (Ctrl+E)</source>
        <translation>Text, Nummer oder Name suchen (Strg+E)</translation>
    </message>
    <message>
        <source>All boxes</source>
        <translation>Alle Ordner</translation>
    </message>
    <message>
        <source>Search Inbox, Sent Items and Deleted on device at once</source>
        <translation>Posteingang, Gesendete Objekte und Auf dem Gerät gelöscht auf einmal durchsuchen</translation>
    </message>
    <message>
        <source>There is not enough memory to sort this list; it keeps its order. Close other programs and try again.</source>
        <translation>Der Speicher reicht nicht, um diese Liste zu sortieren; sie behält ihre Reihenfolge. Schließen Sie andere Programme und versuchen Sie es erneut.</translation>
    </message>
</context>
<context>
    <name>quillet::MainFrame</name>
    <message>
        <source>Retrieving messages...</source>
        <translation>Nachrichten werden abgerufen …</translation>
    </message>
    <message>
        <source>Please Check your ActiveSync connection.
Details:
</source>
        <translation>Bitte prüfen Sie die ActiveSync-Verbindung.
Einzelheiten:
</translation>
    </message>
    <message numerus="yes">
        <source>%n new imported messages</source>
        <translation>
            <numerusform>%n neue Nachricht importiert</numerusform>
            <numerusform>%n neue Nachrichten importiert</numerusform>
        </translation>
    </message>
    <message>
        <source>A message you are writing has not been sent. Close Quillet and discard it?</source>
        <translation>Eine Nachricht, die Sie schreiben, wurde nicht gesendet. Quillet schließen und sie verwerfen?</translation>
    </message>
    <message>
        <source>%1 messages you are writing have not been sent. Close Quillet and discard them?</source>
        <translation>%1 Nachrichten, die Sie schreiben, wurden nicht gesendet. Quillet schließen und sie verwerfen?</translation>
    </message>
    <message numerus="yes">
        <source> (%n new since you last looked)</source>
        <translation>
            <numerusform> (%n neue, seit Sie zuletzt nachgesehen haben)</numerusform>
            <numerusform> (%n neue, seit Sie zuletzt nachgesehen haben)</numerusform>
        </translation>
    </message>
    <message>
        <source>There is not enough memory to finish this command. What it finished is kept; close other programs and try again.</source>
        <translation>Der Speicher reicht nicht, um diesen Befehl zu Ende zu führen. Was er schon erledigt hat, bleibt erhalten; schließen Sie andere Programme und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>There is not enough memory to take in all of the phone&apos;s messages. Nothing is lost: what was not taken in is still on the phone. Close other programs and choose Get SMS again.</source>
        <translation>Der Speicher reicht nicht, um alle Nachrichten des Telefons aufzunehmen. Nichts geht verloren: Was nicht aufgenommen wurde, ist noch auf dem Telefon. Schließen Sie andere Programme und wählen Sie erneut „SMS abrufen“.</translation>
    </message>
</context>
<context>
    <name>quillet::MessageListModel</name>
    <message>
        <source>Recipient</source>
        <translation>Empfänger</translation>
    </message>
    <message>
        <source>Sender</source>
        <translation>Absender</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Nachricht</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Datum</translation>
    </message>
    <message>
        <source>Unread</source>
        <translation>Ungelesen</translation>
    </message>
    <message>
        <source>On phone</source>
        <translation>Auf Telefon</translation>
    </message>
</context>
<context>
    <name>quillet::NewSmsForm</name>
    <message>
        <source>Standard SMS</source>
        <translation>Standard-SMS</translation>
    </message>
    <message>
        <source>Notification</source>
        <translation>Benachrichtigung</translation>
    </message>
    <message>
        <source>To:</source>
        <translation>An:</translation>
    </message>
    <message>
        <source>Message:</source>
        <translation>Nachricht:</translation>
    </message>
    <message>
        <source>1 SMS</source>
        <translation>1 SMS</translation>
    </message>
    <message>
        <source>%1 SMS parts</source>
        <translation>%1 SMS-Teile</translation>
    </message>
    <message>
        <source>characters</source>
        <translation>Zeichen</translation>
    </message>
</context>
<context>
    <name>quillet::NewSmsWindow</name>
    <message>
        <source>New SMS</source>
        <translation>Neue SMS</translation>
    </message>
    <message>
        <source>&amp;Sms</source>
        <translation>&amp;SMS</translation>
    </message>
    <message>
        <source>&amp;Send</source>
        <translation>&amp;Senden</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <source>&amp;Contacts</source>
        <translation>&amp;Kontakte</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation>&amp;Hinzufügen</translation>
    </message>
    <message>
        <source>Send message</source>
        <translation>Nachricht senden</translation>
    </message>
    <message>
        <source>Get from contacts</source>
        <translation>Aus den Kontakten</translation>
    </message>
    <message>
        <source>Sending SMS Message...</source>
        <translation>SMS-Nachricht wird gesendet...</translation>
    </message>
    <message>
        <source>SMS Message not sent: no recipient.</source>
        <translation>SMS-Nachricht nicht gesendet: kein Empfänger.</translation>
    </message>
    <message>
        <source>Please fill in a recipient.</source>
        <translation>Bitte einen Empfänger angeben.</translation>
    </message>
    <message>
        <source>SMS Message not sent: every recipient was refused.</source>
        <translation>SMS-Nachricht nicht gesendet: jeder Empfänger wurde abgelehnt.</translation>
    </message>
    <message>
        <source>SMS Message Sent.</source>
        <translation>SMS-Nachricht gesendet.</translation>
    </message>
    <message>
        <source>SMS Message sent to %1 of %2 recipients.</source>
        <translation>SMS-Nachricht an %1 von %2 Empfängern gesendet.</translation>
    </message>
    <message>
        <source>Discard the message you have written?</source>
        <translation>Die geschriebene Nachricht verwerfen?</translation>
    </message>
    <message>
        <source>Could not send message. Please check your ActiveSync connection and if the phone numbers are valid.
Details:
</source>
        <translation>Die Nachricht konnte nicht gesendet werden. Bitte prüfen Sie die ActiveSync-Verbindung und ob die Telefonnummern gültig sind.
Einzelheiten:
</translation>
    </message>
    <message>
        <source>SMS Message not sent: &quot;%1&quot; is no recipient.</source>
        <translation>SMS nicht gesendet: „%1“ ist kein Empfänger.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a phone number, a short code or a sender name.
Correct or delete it, then send again.</source>
        <translation>„%1“ ist weder eine Telefonnummer noch eine Kurzwahl noch ein Absendername.
Korrigieren oder löschen Sie den Eintrag und senden Sie erneut.</translation>
    </message>
</context>
<context>
    <name>quillet::OptionsForm</name>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Startup options</source>
        <translation>Startoptionen</translation>
    </message>
    <message>
        <source>Automatic sync on startup</source>
        <translation>Beim Start automatisch abgleichen</translation>
    </message>
    <message>
        <source>Start minimized</source>
        <translation>Minimiert starten</translation>
    </message>
    <message>
        <source>Start Quillet! on ActiveSync connection</source>
        <translation>Quillet! bei ActiveSync-Verbindung starten</translation>
    </message>
    <message>
        <source>Import from Phone</source>
        <translation>Vom Telefon importieren</translation>
    </message>
    <message>
        <source>Inbox</source>
        <translation>Posteingang</translation>
    </message>
    <message>
        <source>Sent Items</source>
        <translation>Gesendete Objekte</translation>
    </message>
    <message>
        <source>Deleted Items</source>
        <translation>Gelöschte Objekte</translation>
    </message>
    <message>
        <source>Minimize to</source>
        <translation>Minimieren in</translation>
    </message>
    <message>
        <source>Taskbar</source>
        <translation>Taskleiste</translation>
    </message>
    <message>
        <source>System Tray</source>
        <translation>Systemabschnitt der Kontrollleiste</translation>
    </message>
    <message>
        <source>Notification</source>
        <translation>Benachrichtigung</translation>
    </message>
    <message>
        <source>Sound Notification</source>
        <translation>Klangbenachrichtigung</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Durchsuchen</translation>
    </message>
    <message>
        <source>Popup Message</source>
        <translation>Hinweisfenster</translation>
    </message>
    <message>
        <source>Could not save the settings.
Details:
</source>
        <translation>Die Einstellungen konnten nicht gespeichert werden.
Einzelheiten:
</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Could not change whether Quillet! starts on an ActiveSync connection.</source>
        <translation>Es konnte nicht geändert werden, ob Quillet! bei einer ActiveSync-Verbindung startet.</translation>
    </message>
</context>
<context>
    <name>quillet::OptionsWindow</name>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
</context>
<context>
    <name>quillet::QuilletApp</name>
    <message>
        <source>Quillet: the text messages of your phone.</source>
        <translation>Quillet: die Textnachrichten Ihres Telefons.</translation>
    </message>
    <message>
        <source>Write a trace to logfile.txt in the data folder.</source>
        <translation>Ein Protokoll in logfile.txt im Datenordner schreiben.</translation>
    </message>
</context>
<context>
    <name>quillet::RecipientModel</name>
    <message>
        <source>Number</source>
        <translation>Nummer</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>(new number)</source>
        <translation>(neue Nummer)</translation>
    </message>
</context>
<context>
    <name>quillet::ResultList</name>
    <message>
        <source>There is not enough memory to search the messages. They are kept as they are; close other programs and search again.</source>
        <translation>Der Speicher reicht nicht, um die Nachrichten zu durchsuchen. Sie bleiben, wie sie sind; schließen Sie andere Programme und suchen Sie erneut.</translation>
    </message>
</context>
<context>
    <name>quillet::SearchResultsModel</name>
    <message>
        <source>Sent Items</source>
        <translation>Gesendete Objekte</translation>
    </message>
    <message>
        <source>Deleted</source>
        <translation>Auf dem Gerät gelöscht</translation>
    </message>
    <message>
        <source>Inbox</source>
        <translation>Posteingang</translation>
    </message>
    <message>
        <source>Box</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Nachricht</translation>
    </message>
    <message>
        <source>Correspondent</source>
        <translation>Gesprächspartner</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Datum</translation>
    </message>
    <message>
        <source>Unread</source>
        <translation>Ungelesen</translation>
    </message>
</context>
<context>
    <name>quillet::SingleInstance</name>
    <message>
        <source>Quillet runs without its one-instance guard: %1.</source>
        <translation>Quillet läuft ohne Schutz gegen einen zweiten Start: %1.</translation>
    </message>
    <message>
        <source>Quillet is already running (process %1).</source>
        <translation>Quillet läuft bereits (Prozess %1).</translation>
    </message>
    <message>
        <source>Quillet is already running.</source>
        <translation>Quillet läuft bereits.</translation>
    </message>
    <message>
        <source> It did not answer; this start ends.</source>
        <translation> Es antwortet nicht; dieser Start wird beendet.</translation>
    </message>
    <message>
        <source> Its window was brought to the front.</source>
        <translation> Sein Fenster wurde in den Vordergrund geholt.</translation>
    </message>
</context>
<context>
    <name>quillet::SmsListView</name>
    <message>
        <source>Forward</source>
        <translation>Weiterleiten</translation>
    </message>
    <message>
        <source>Reply</source>
        <translation>Antworten</translation>
    </message>
    <message>
        <source>Mark read</source>
        <translation>Als gelesen markieren</translation>
    </message>
    <message>
        <source>Mark unread</source>
        <translation>Als ungelesen markieren</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Delete on device</source>
        <translation>Auf dem Gerät löschen</translation>
    </message>
    <message>
        <source>Unable to delete on device. Please Check your ActiveSync connection.
Details:
</source>
        <translation>Löschen auf dem Gerät nicht möglich. Bitte prüfen Sie die ActiveSync-Verbindung.
Einzelheiten:
</translation>
    </message>
    <message numerus="yes">
        <source>There is not enough memory to sort the %n messages of this list; they keep their order. Close other programs and try again.</source>
        <translation>
            <numerusform>Der Speicher reicht nicht, um die %n Nachricht dieser Liste zu sortieren; sie behält ihre Reihenfolge. Schließen Sie andere Programme und versuchen Sie es erneut.</numerusform>
            <numerusform>Der Speicher reicht nicht, um die %n Nachrichten dieser Liste zu sortieren; sie behalten ihre Reihenfolge. Schließen Sie andere Programme und versuchen Sie es erneut.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>There is not enough memory to list the %n messages of this box. They are kept as they are; close other programs and choose the box again.</source>
        <translation>
            <numerusform>Der Speicher reicht nicht, um die %n Nachricht dieses Postfachs aufzulisten. Sie bleibt, wie sie ist; schließen Sie andere Programme und wählen Sie das Postfach erneut.</numerusform>
            <numerusform>Der Speicher reicht nicht, um die %n Nachrichten dieses Postfachs aufzulisten. Sie bleiben, wie sie sind; schließen Sie andere Programme und wählen Sie das Postfach erneut.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quillet::SmsTreeView</name>
    <message>
        <source>Inbox</source>
        <translation>Posteingang</translation>
    </message>
    <message>
        <source>Sent Items</source>
        <translation>Gesendete Objekte</translation>
    </message>
    <message>
        <source>Deleted on device</source>
        <translation>Auf dem Gerät gelöscht</translation>
    </message>
    <message>
        <source>Conversations</source>
        <translation>Unterhaltungen</translation>
    </message>
</context>
<context>
    <name>quillet::SoundFileDialog</name>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Sound Files (*.wav)</source>
        <translation>Klangdateien (*.wav)</translation>
    </message>
</context>
<context>
    <name>quillet::TemplateWords</name>
    <message>
        <source>Choose a message in the list above to read it here.</source>
        <translation>Wählen Sie oben in der Liste eine Nachricht, um sie hier zu lesen.</translation>
    </message>
    <message>
        <source>Get SMS (Ctrl+G) brings in the new messages from your phone.</source>
        <translation>SMS abrufen (Strg+G) holt die neuen Nachrichten von Ihrem Telefon.</translation>
    </message>
    <message>
        <source>FROM</source>
        <translation>VON</translation>
    </message>
    <message>
        <source>RECEIVED</source>
        <translation>EMPFANGEN</translation>
    </message>
    <message>
        <source>Received on your phone and kept in the Inbox.</source>
        <translation>Auf Ihrem Telefon empfangen und im Posteingang aufbewahrt.</translation>
    </message>
    <message>
        <source>CONTACT</source>
        <translation>KONTAKT</translation>
    </message>
    <message>
        <source>DATE</source>
        <translation>DATUM</translation>
    </message>
    <message>
        <source>CONVERSATION WITH</source>
        <translation>UNTERHALTUNG MIT</translation>
    </message>
</context>
<context>
    <name>quillet::TrayNotice</name>
    <message>
        <source>Quillet</source>
        <translation>Quillet</translation>
    </message>
    <message>
        <source>Show Quillet</source>
        <translation>Quillet zeigen</translation>
    </message>
    <message>
        <source>Get SMS</source>
        <translation>SMS abrufen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>New message</source>
        <translation>Neue Nachricht</translation>
    </message>
    <message numerus="yes">
        <source>%n new messages</source>
        <translation>
            <numerusform>%n neue Nachricht</numerusform>
            <numerusform>%n neue Nachrichten</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n new messages, the latest from %1</source>
        <translation>
            <numerusform>%n neue Nachricht von %1</numerusform>
            <numerusform>%n neue Nachrichten, die neueste von %1</numerusform>
        </translation>
    </message>
    <message>
        <source>From %1</source>
        <translation>Von %1</translation>
    </message>
    <message>
        <source>

%1 new messages</source>
        <translation>

%1 neue Nachrichten</translation>
    </message>
</context>
</TS>
