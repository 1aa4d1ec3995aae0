<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
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
    <name>quillet::AboutBox</name>
    <message>
        <source>About Quillet</source>
        <translation>Über Quillet</translation>
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
</context>
<context>
    <name>quillet::HelpWindow</name>
    <message>
        <source>Quillet Help</source>
        <translation>Quillet-Hilfe</translation>
    </message>
</context>
<context>
    <name>quillet::MainFrame</name>
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
    <message>
        <source>Export as Android SMS backup</source>
        <translation>Als Android-SMS-Sicherung exportieren</translation>
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
        <source>Unable to export the contacts to %1.
Details:
%2</source>
        <translation>Die Kontakte konnten nicht nach %1 exportiert werden.
Einzelheiten:
%2</translation>
    </message>
    <message>
        <source>Select a message of the conversation first.</source>
        <translation>Wählen Sie zuerst eine Nachricht der Unterhaltung aus.</translation>
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
    <message>
        <source>Conversation of %1 messages exported</source>
        <translation>Unterhaltung mit %1 Nachrichten exportiert</translation>
    </message>
    <message>
        <source>Unable to print the conversation.</source>
        <translation>Die Unterhaltung konnte nicht gedruckt werden.</translation>
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
        <source>Archive written: %1 messages, %2 contacts, %3 conversations%4</source>
        <translation>Archiv geschrieben: %1 Nachrichten, %2 Kontakte, %3 Unterhaltungen%4</translation>
    </message>
    <message>
        <source>Unknown version of Quillet in inbox files.
</source>
        <translation>Unbekannte Quillet-Version in den Posteingangsdateien.
</translation>
    </message>
    <message>
        <source>Unable to save your messages.
Details:
</source>
        <translation>Ihre Nachrichten konnten nicht gespeichert werden.
Einzelheiten:
</translation>
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
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Toolbar</source>
        <translation>&amp;Werkzeugleiste</translation>
    </message>
    <message>
        <source>&amp;Status Bar</source>
        <translation>&amp;Statusleiste</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;About Quillet...</source>
        <translation>&amp;Über Quillet...</translation>
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
        <source>Ready</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>Show Quillet</source>
        <translation>Quillet zeigen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>New message</source>
        <translation>Neue Nachricht</translation>
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
    <message>
        <source> (%1 characters XML cannot carry shown as �)</source>
        <translation> (%1 Zeichen, die XML nicht tragen kann, als � gezeigt)</translation>
    </message>
    <message>
        <source>The file was kept as %1.</source>
        <translation>Die Datei wurde als %1 behalten.</translation>
    </message>
    <message>
        <source>Select a conversation first.</source>
        <translation>Wählen Sie zuerst eine Unterhaltung.</translation>
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
</context>
<context>
    <name>quillet::OptionsWindow</name>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
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
</TS>
