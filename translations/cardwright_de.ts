<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>about_dialog</name>
    <message>
        <source>About MobileCardwright</source>
        <translation>Über MobileCardwright</translation>
    </message>
    <message>
        <source>MobileCardwright Version %1</source>
        <translation>MobileCardwright Version %1</translation>
    </message>
</context>
<context>
    <name>box_texts</name>
    <message>
        <source>Text Too Long</source>
        <translation>Text zu lang</translation>
    </message>
    <message>
        <source>The question of this item</source>
        <translation>Die Frage dieser Karte</translation>
    </message>
    <message>
        <source>The answer of this item</source>
        <translation>Die Antwort dieser Karte</translation>
    </message>
    <message>
        <source>It is kept as it is, but cannot be shown.</source>
        <translation>Sie bleibt unverändert erhalten, kann aber nicht angezeigt werden.</translation>
    </message>
    <message>
        <source>The question</source>
        <translation>Die Frage</translation>
    </message>
    <message>
        <source>The answer</source>
        <translation>Die Antwort</translation>
    </message>
    <message>
        <source>Shorten it, or the change will not be stored.</source>
        <translation>Kürzen Sie den Text, sonst wird die Änderung nicht gespeichert.</translation>
    </message>
</context>
<context>
    <name>boxes</name>
    <message>
        <source>Deleting Item</source>
        <translation>Karte löschen</translation>
    </message>
    <message>
        <source>Do you want to delete currently visible item?</source>
        <translation>Möchten Sie die angezeigte Karte löschen?</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>Ausschneiden</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Einfügen</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
    <message>
        <source>Delete This Item</source>
        <translation>Diese Karte löschen</translation>
    </message>
</context>
<context>
    <name>browser_model</name>
    <message>
        <source>Browse Items</source>
        <translation>Karten durchsuchen</translation>
    </message>
    <message>
        <source>The question</source>
        <translation>Die Frage</translation>
    </message>
    <message>
        <source>The answer</source>
        <translation>Die Antwort</translation>
    </message>
    <message>
        <source>today</source>
        <translation>heute</translation>
    </message>
    <message>
        <source>in 1 day</source>
        <translation>in 1 Tag</translation>
    </message>
    <message>
        <source>1 day overdue</source>
        <translation>1 Tag überfällig</translation>
    </message>
    <message>
        <source>Question</source>
        <translation>Frage</translation>
    </message>
    <message>
        <source>Answer</source>
        <translation>Antwort</translation>
    </message>
    <message>
        <source>Category</source>
        <translation>Kategorie</translation>
    </message>
    <message>
        <source>Next Review</source>
        <translation>Nächste Wiederholung</translation>
    </message>
    <message>
        <source>Due</source>
        <translation>Fällig</translation>
    </message>
    <message>
        <source>Interval</source>
        <translation>Intervall</translation>
    </message>
    <message>
        <source>Repetitions</source>
        <translation>Wiederholungen</translation>
    </message>
    <message>
        <source>Last Grade</source>
        <translation>Letzte Bewertung</translation>
    </message>
    <message>
        <source>Created</source>
        <translation>Angelegt</translation>
    </message>
    <message numerus="yes">
        <source>in %Ln days</source>
        <translation>
            <numerusform>in %Ln Tag</numerusform>
            <numerusform>in %Ln Tagen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln days overdue</source>
        <translation>
            <numerusform>%Ln Tag überfällig</numerusform>
            <numerusform>%Ln Tage überfällig</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>browser_window</name>
    <message>
        <source>Browse Items</source>
        <translation>Karten durchsuchen</translation>
    </message>
    <message>
        <source>Search questions and answers</source>
        <translation>Fragen und Antworten durchsuchen</translation>
    </message>
    <message>
        <source>All items</source>
        <translation>Alle Karten</translation>
    </message>
    <message>
        <source>Due</source>
        <translation>Fällig</translation>
    </message>
    <message>
        <source>Overdue</source>
        <translation>Überfällig</translation>
    </message>
    <message>
        <source>Scheduled</source>
        <translation>Im Lernplan</translation>
    </message>
    <message>
        <source>Pending</source>
        <translation>In der Warteschlange</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Due Today</source>
        <translation>Heute fällig</translation>
    </message>
    <message>
        <source>Move...</source>
        <translation>Verschieben...</translation>
    </message>
    <message>
        <source>Forget</source>
        <translation>Vergessen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message numerus="yes">
        <source>%1 of %Ln items</source>
        <translation>
            <numerusform>%1 von %Ln Karte</numerusform>
            <numerusform>%1 von %Ln Karten</numerusform>
        </translation>
    </message>
    <message>
        <source>Delete the selected item?</source>
        <translation>Die ausgewählte Karte löschen?</translation>
    </message>
    <message numerus="yes">
        <source>Delete the %n selected items?</source>
        <translation>
            <numerusform>Die %n ausgewählte Karte löschen?</numerusform>
            <numerusform>Die %n ausgewählten Karten löschen?</numerusform>
        </translation>
    </message>
    <message>
        <source>Delete Items</source>
        <translation>Karten löschen</translation>
    </message>
    <message numerus="yes">
        <source>Forget the schedule of %n selected items? They start again as new items.</source>
        <translation>
            <numerusform>Den Lernplan der %n ausgewählten Karte vergessen? Sie beginnt wieder als neue Karte.</numerusform>
            <numerusform>Den Lernplan der %n ausgewählten Karten vergessen? Sie beginnen wieder als neue Karten.</numerusform>
        </translation>
    </message>
    <message>
        <source>Forget Items</source>
        <translation>Karten vergessen</translation>
    </message>
    <message>
        <source>Move Items</source>
        <translation>Karten verschieben</translation>
    </message>
    <message numerus="yes">
        <source>Move the %n selected items to:</source>
        <translation>
            <numerusform>Die %n ausgewählte Karte verschieben nach:</numerusform>
            <numerusform>Die %n ausgewählten Karten verschieben nach:</numerusform>
        </translation>
    </message>
    <message>
        <source>A category needs a name.</source>
        <translation>Eine Kategorie braucht einen Namen.</translation>
    </message>
    <message>
        <source>A category name may be at most %1 bytes; &quot;%2&quot; has %3.</source>
        <translation>Ein Kategoriename darf höchstens %1 Bytes lang sein; „%2“ hat %3.</translation>
    </message>
    <message>
        <source>A category name is a single line.</source>
        <translation>Ein Kategoriename besteht aus einer einzigen Zeile.</translation>
    </message>
    <message>
        <source>There is already a top-level category named &quot;%1&quot;.</source>
        <translation>Es gibt bereits eine oberste Kategorie namens „%1“.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; already has a category named &quot;%2&quot;.</source>
        <translation>„%1“ enthält bereits eine Kategorie namens „%2“.</translation>
    </message>
    <message>
        <source>No category can be added: the database holds %1 categories, as many as it can.</source>
        <translation>Es kann keine Kategorie hinzukommen: Die Datenbank enthält %1 Kategorien, so viele, wie sie fassen kann.</translation>
    </message>
    <message>
        <source>That category no longer exists.</source>
        <translation>Diese Kategorie gibt es nicht mehr.</translation>
    </message>
    <message>
        <source>&amp;Categories:</source>
        <translation>&amp;Kategorien:</translation>
    </message>
    <message>
        <source>New Category...</source>
        <translation>Neue Kategorie...</translation>
    </message>
    <message>
        <source>Rename Category...</source>
        <translation>Kategorie umbenennen...</translation>
    </message>
    <message>
        <source>Delete Category</source>
        <translation>Kategorie löschen</translation>
    </message>
    <message>
        <source>New Category...	Ins</source>
        <translation>Neue Kategorie...	Einfg</translation>
    </message>
    <message>
        <source>Rename Category...	F2</source>
        <translation>Kategorie umbenennen...	F2</translation>
    </message>
    <message>
        <source>Delete Category	Del</source>
        <translation>Kategorie löschen	Entf</translation>
    </message>
    <message>
        <source>All categories</source>
        <translation>Alle Kategorien</translation>
    </message>
    <message>
        <source>New Category</source>
        <translation>Neue Kategorie</translation>
    </message>
    <message>
        <source>Name of the new top-level category:</source>
        <translation>Name der neuen obersten Kategorie:</translation>
    </message>
    <message>
        <source>Name of the new category under &quot;%1&quot;:</source>
        <translation>Name der neuen Kategorie unter „%1“:</translation>
    </message>
    <message>
        <source>Rename Category</source>
        <translation>Kategorie umbenennen</translation>
    </message>
    <message>
        <source>New name of &quot;%1&quot;:</source>
        <translation>Neuer Name für „%1“:</translation>
    </message>
    <message>
        <source>&quot;%1&quot; cannot be deleted: it is the first category, which takes the items that have no other.</source>
        <translation>„%1“ kann nicht gelöscht werden: Es ist die erste Kategorie, die alle Karten ohne andere Kategorie aufnimmt.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; cannot be deleted while it holds items: 1 item is in it or in its subcategories. Move or delete them first.</source>
        <translation>„%1“ kann nicht gelöscht werden, solange sie Karten enthält: 1 Karte liegt darin oder in ihren Unterkategorien. Verschieben oder löschen Sie diese zuerst.</translation>
    </message>
    <message numerus="yes">
        <source>&quot;%1&quot; cannot be deleted while it holds items: %n items are in it or in its subcategories. Move or delete them first.</source>
        <translation>
            <numerusform>„%1“ kann nicht gelöscht werden, solange sie Karten enthält: %n Karte liegt darin oder in ihren Unterkategorien. Verschieben oder löschen Sie diese zuerst.</numerusform>
            <numerusform>„%1“ kann nicht gelöscht werden, solange sie Karten enthält: %n Karten liegen darin oder in ihren Unterkategorien. Verschieben oder löschen Sie diese zuerst.</numerusform>
        </translation>
    </message>
    <message>
        <source>Delete the category &quot;%1&quot;?</source>
        <translation>Die Kategorie „%1“ löschen?</translation>
    </message>
    <message>
        <source>Delete the category &quot;%1&quot; and the 1 empty category below it?</source>
        <translation>Die Kategorie „%1“ und die 1 leere Kategorie darunter löschen?</translation>
    </message>
    <message numerus="yes">
        <source>Delete the category &quot;%1&quot; and the %n empty categories below it?</source>
        <translation>
            <numerusform>Die Kategorie „%1“ und die %n leere Kategorie darunter löschen?</numerusform>
            <numerusform>Die Kategorie „%1“ und die %n leeren Kategorien darunter löschen?</numerusform>
        </translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Suche</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Anzeigen</translation>
    </message>
    <message>
        <source>Scheduled items</source>
        <translation>Karten im Lernplan</translation>
    </message>
    <message>
        <source>Items in the queue</source>
        <translation>Karten in der Warteschlange</translation>
    </message>
    <message>
        <source>Categories</source>
        <translation>Kategorien</translation>
    </message>
    <message>
        <source>Conflicts...</source>
        <translation>Konflikte...</translation>
    </message>
    <message>
        <source>Clear the search</source>
        <translation>Suche leeren</translation>
    </message>
</context>
<context>
    <name>category_selection_dialog</name>
    <message>
        <source>Category Selection</source>
        <translation>Kategorien auswählen</translation>
    </message>
    <message>
        <source>New Category...</source>
        <translation>Neue Kategorie...</translation>
    </message>
    <message>
        <source>New Category</source>
        <translation>Neue Kategorie</translation>
    </message>
    <message>
        <source>Name of the new category:</source>
        <translation>Name der neuen Kategorie:</translation>
    </message>
    <message>
        <source>Name of the new category under &quot;%1&quot;:</source>
        <translation>Name der neuen Kategorie unter „%1“:</translation>
    </message>
    <message>
        <source>Categories</source>
        <translation>Kategorien</translation>
    </message>
    <message numerus="yes">
        <source>%1: %2 due, %3 queued, %Ln items</source>
        <translation>
            <numerusform>%1: %2 fällig, %3 in der Warteschlange, %Ln Karte</numerusform>
            <numerusform>%1: %2 fällig, %3 in der Warteschlange, %Ln Karten</numerusform>
        </translation>
    </message>
    <message>
        <source> (i:%1,r:%2,q:%3)</source>
        <translation> (K:%1,F:%2,W:%3)</translation>
    </message>
    <message>
        <source>Tick the categories to go through (Space ticks the chosen one). The counts are i: items, r: reviews due today, q: queued items.</source>
        <translation>Kreuzen Sie die Kategorien an, die abgefragt werden sollen (die Leertaste kreuzt die gewählte an). Die Zahlen: K: Karten, F: heute fällig, W: in der Warteschlange.</translation>
    </message>
    <message>
        <source>Choose the category that the new items go into. The counts are i: items, r: reviews due today, q: queued items.</source>
        <translation>Wählen Sie die Kategorie, in die die neuen Karten kommen. Die Zahlen: K: Karten, F: heute fällig, W: in der Warteschlange.</translation>
    </message>
</context>
<context>
    <name>conflicts_dialog</name>
    <message>
        <source>Conflicts</source>
        <translation>Konflikte</translation>
    </message>
    <message>
        <source>Question</source>
        <translation>Frage</translation>
    </message>
    <message>
        <source>Answer</source>
        <translation>Antwort</translation>
    </message>
    <message>
        <source>Losing question</source>
        <translation>Unterlegene Frage</translation>
    </message>
    <message>
        <source>Losing answer</source>
        <translation>Unterlegene Antwort</translation>
    </message>
    <message>
        <source>Edits that lost a conflict</source>
        <translation>Änderungen, die einen Konflikt verloren haben</translation>
    </message>
    <message>
        <source>Take Losing Text</source>
        <translation>Unterlegenen Text übernehmen</translation>
    </message>
</context>
<context>
    <name>data_safety</name>
    <message>
        <source>Save the Database in Another Folder</source>
        <translation>Datenbank in einem anderen Ordner speichern</translation>
    </message>
    <message>
        <source>Database Saved</source>
        <translation>Datenbank gespeichert</translation>
    </message>
    <message>
        <source>The database was saved in:
%1

To go on with it there, choose that folder in File &gt; Settings.</source>
        <translation>Die Datenbank wurde gespeichert in:
%1

Um dort weiterzuarbeiten, wählen Sie diesen Ordner unter Datei &gt; Einstellungen.</translation>
    </message>
    <message>
        <source>Cannot Save Database</source>
        <translation>Datenbank kann nicht gespeichert werden</translation>
    </message>
    <message>
        <source>The database could not be saved there.

%1</source>
        <translation>Die Datenbank konnte dort nicht gespeichert werden.

%1</translation>
    </message>
    <message>
        <source>not readable</source>
        <translation>nicht lesbar</translation>
    </message>
    <message>
        <source>Backup Not Written</source>
        <translation>Sicherung nicht geschrieben</translation>
    </message>
    <message>
        <source>The database was saved, but its backup could not be written.

%1</source>
        <translation>Die Datenbank wurde gespeichert, ihre Sicherung konnte aber nicht geschrieben werden.

%1</translation>
    </message>
    <message>
        <source>The database could not be saved in:
%1

%2

The changes of this session will be lost unless it is saved. Try again, or save it in another folder?</source>
        <translation>Die Datenbank konnte nicht gespeichert werden in:
%1

%2

Die Änderungen dieser Sitzung gehen verloren, wenn sie nicht gespeichert wird. Erneut versuchen oder in einem anderen Ordner speichern?</translation>
    </message>
    <message>
        <source>The database could not be saved in:
%1

%2

A rescue copy of the database was written to:
%3

Try again, or save it in another folder?</source>
        <translation>Die Datenbank konnte nicht gespeichert werden in:
%1

%2

Eine Rettungskopie der Datenbank wurde geschrieben nach:
%3

Erneut versuchen oder in einem anderen Ordner speichern?</translation>
    </message>
    <message>
        <source>The database file could not be read:
%1

</source>
        <translation>Die Datenbankdatei konnte nicht gelesen werden:
%1

</translation>
    </message>
    <message>
        <source>No copy of it could be kept, so it will not be overwritten.

</source>
        <translation>Es konnte keine Kopie von ihr angelegt werden, deshalb wird sie nicht überschrieben.

</translation>
    </message>
    <message>
        <source>It was kept as:
%1

</source>
        <translation>Sie wurde aufbewahrt als:
%1

</translation>
    </message>
    <message>
        <source>There is no backup to restore; the program goes on with what could be read.</source>
        <translation>Es gibt keine Sicherung zum Wiederherstellen; das Programm arbeitet mit dem weiter, was gelesen werden konnte.</translation>
    </message>
    <message>
        <source>Database Not Readable</source>
        <translation>Datenbank nicht lesbar</translation>
    </message>
    <message>
        <source>The newest backup is from %1 (%2, %3).

Restore it now? Without it the program goes on with what could be read; File &gt; Restore Backup... can restore one later.</source>
        <translation>Die neueste Sicherung stammt vom %1 (%2, %3).

Jetzt wiederherstellen? Sonst arbeitet das Programm mit dem weiter, was gelesen werden konnte; Datei &gt; Sicherung wiederherstellen... kann später eine Sicherung zurückholen.</translation>
    </message>
    <message>
        <source>Backup Not Restored</source>
        <translation>Sicherung nicht wiederhergestellt</translation>
    </message>
    <message>
        <source>The backup could not be restored.

%1</source>
        <translation>Die Sicherung konnte nicht wiederhergestellt werden.

%1</translation>
    </message>
    <message>
        <source>Restore Backup</source>
        <translation>Sicherung wiederherstellen</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Datum</translation>
    </message>
    <message>
        <source>Items</source>
        <translation>Karten</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>(your database before the last restore)</source>
        <translation>(Ihre Datenbank vor der letzten Wiederherstellung)</translation>
    </message>
    <message>
        <source>Your database as it is now will be kept as a backup before the restore.</source>
        <translation>Ihre Datenbank wird vor der Wiederherstellung in ihrem jetzigen Stand als Sicherung aufbewahrt.</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Wiederherstellen</translation>
    </message>
    <message>
        <source>Replace your database with the backup of %1 (%2)?

Your database as it is now is kept as a backup first, so that this restore can be undone.</source>
        <translation>Ihre Datenbank durch die Sicherung vom %1 (%2) ersetzen?

Ihre Datenbank wird zuvor in ihrem jetzigen Stand als Sicherung aufbewahrt, sodass sich diese Wiederherstellung rückgängig machen lässt.</translation>
    </message>
    <message>
        <source>This backup cannot be read:
%1</source>
        <translation>Diese Sicherung kann nicht gelesen werden:
%1</translation>
    </message>
    <message>
        <source>The backup could not be restored; the database stays as it was.

%1</source>
        <translation>Die Sicherung konnte nicht wiederhergestellt werden; die Datenbank bleibt, wie sie war.

%1</translation>
    </message>
    <message>
        <source>Backups</source>
        <translation>Sicherungen</translation>
    </message>
    <message numerus="yes">
        <source>%n items</source>
        <translation>
            <numerusform>%n Karte</numerusform>
            <numerusform>%n Karten</numerusform>
        </translation>
    </message>
    <message>
        <source>There are no backups yet. A copy of the database is kept each time Cardwright closes after a change; the ten newest stay.</source>
        <translation>Es gibt noch keine Sicherungen. Jedes Mal, wenn Cardwright nach einer Änderung geschlossen wird, wird eine Kopie der Datenbank aufbewahrt; die zehn neuesten bleiben.</translation>
    </message>
</context>
<context>
    <name>exchange_dialogs</name>
    <message>
        <source>Added: %1
Duplicates skipped: %2
Media copied: %3
Problems: %4</source>
        <translation>Hinzugefügt: %1
Doppelte übersprungen: %2
Mediendateien kopiert: %3
Probleme: %4</translation>
    </message>
    <message>
        <source>
... and %1 more</source>
        <translation>
... und %1 weitere</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>Importieren</translation>
    </message>
    <message>
        <source>A text file (.txt, .csv) or a package (.apkg, .colpkg)</source>
        <translation>Eine Textdatei (.txt, .csv) oder ein Paket (.apkg, .colpkg)</translation>
    </message>
    <message>
        <source>Detect</source>
        <translation>Erkennen</translation>
    </message>
    <message>
        <source>Tab</source>
        <translation>Tabulator</translation>
    </message>
    <message>
        <source>Comma</source>
        <translation>Komma</translation>
    </message>
    <message>
        <source>Semicolon</source>
        <translation>Semikolon</translation>
    </message>
    <message>
        <source>Into the queue</source>
        <translation>In die Warteschlange</translation>
    </message>
    <message>
        <source>Straight into learning</source>
        <translation>Direkt in den Lernplan</translation>
    </message>
    <message>
        <source>Cards (*.txt *.csv *.tsv *.apkg *.colpkg);;All files (*)</source>
        <translation>Karten (*.txt *.csv *.tsv *.apkg *.colpkg);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>None (the first category)</source>
        <translation>Keine (die erste Kategorie)</translation>
    </message>
    <message>
        <source>Column %1</source>
        <translation>Spalte %1</translation>
    </message>
    <message>
        <source>There is no file of that name.</source>
        <translation>Eine Datei dieses Namens gibt es nicht.</translation>
    </message>
    <message>
        <source>tab</source>
        <translation>Tabulator</translation>
    </message>
    <message>
        <source>comma</source>
        <translation>Komma</translation>
    </message>
    <message>
        <source>semicolon</source>
        <translation>Semikolon</translation>
    </message>
    <message>
        <source>other</source>
        <translation>ein anderes Zeichen</translation>
    </message>
    <message>
        <source>Fields separated by %1%2.</source>
        <translation>Felder getrennt durch %1%2.</translation>
    </message>
    <message>
        <source>; the fields are HTML</source>
        <translation>; die Felder sind HTML</translation>
    </message>
    <message>
        <source>Import Failed</source>
        <translation>Import fehlgeschlagen</translation>
    </message>
    <message>
        <source>Nothing was imported: %1</source>
        <translation>Es wurde nichts importiert: %1</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Exportieren</translation>
    </message>
    <message>
        <source>Text, tab-separated, with categories</source>
        <translation>Text, durch Tabulatoren getrennt, mit Kategorien</translation>
    </message>
    <message>
        <source>XML database, with all scheduling</source>
        <translation>XML-Datenbank, mit dem ganzen Lernplan</translation>
    </message>
    <message>
        <source>Please name the file to write.</source>
        <translation>Bitte geben Sie die Datei an, die geschrieben werden soll.</translation>
    </message>
    <message>
        <source>Export Failed</source>
        <translation>Export fehlgeschlagen</translation>
    </message>
    <message>
        <source>The file was not written: %1</source>
        <translation>Die Datei wurde nicht geschrieben: %1</translation>
    </message>
    <message>
        <source> %1 texts too close to the length limit for their CR LF were written with line feeds.</source>
        <translation> %1 Texte, denen für CR LF die Länge nicht reichte, wurden mit einfachen Zeilenvorschüben geschrieben.</translation>
    </message>
    <message>
        <source>File to import</source>
        <translation>Zu importierende Datei</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>File to write</source>
        <translation>Zu schreibende Datei</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Deck</source>
        <translation>Stapel</translation>
    </message>
    <message>
        <source>Notes</source>
        <translation>Notizen</translation>
    </message>
    <message>
        <source>(no deck: the first category)</source>
        <translation>(kein Stapel: die erste Kategorie)</translation>
    </message>
    <message>
        <source>A package of %1 notes in %2 decks: each note&apos;s first field becomes the question, its second the answer, its deck the category.</source>
        <translation>Ein Paket mit %1 Notizen in %2 Stapeln: Das erste Feld jeder Notiz wird die Frage, das zweite die Antwort, ihr Stapel die Kategorie.</translation>
    </message>
    <message>
        <source>Text (*.txt *.tsv *.csv)</source>
        <translation>Text (*.txt *.tsv *.csv)</translation>
    </message>
    <message>
        <source>XML (*.xml)</source>
        <translation>XML (*.xml)</translation>
    </message>
    <message numerus="yes">
        <source> %n categories have names a text file cannot hold as they are (&quot;::&quot; in one name and &quot;/&quot; in another, or a blank at either end of a name): read back, their items go to other categories. An XML export keeps them.</source>
        <translation>
            <numerusform> %n Kategorie hat Namen, die eine Textdatei nicht unverändert aufnehmen kann (&quot;::&quot; in einem Namen und &quot;/&quot; in einem anderen, oder ein Leerzeichen am Anfang oder Ende eines Namens): wieder eingelesen, kommen ihre Karten in andere Kategorien. Ein XML-Export bewahrt sie.</numerusform>
            <numerusform> %n Kategorien haben Namen, die eine Textdatei nicht unverändert aufnehmen kann (&quot;::&quot; in einem Namen und &quot;/&quot; in einem anderen, oder ein Leerzeichen am Anfang oder Ende eines Namens): wieder eingelesen, kommen ihre Karten in andere Kategorien. Ein XML-Export bewahrt sie.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n items written to %1.</source>
        <translation>
            <numerusform>%n Karte nach %1 geschrieben.</numerusform>
            <numerusform>%n Karten nach %1 geschrieben.</numerusform>
        </translation>
    </message>
    <message>
        <source>The file is not UTF-8: it is read as Western European (Windows-1252).</source>
        <translation>Die Datei ist nicht UTF-8: Sie wird als westeuropäisch (Windows-1252) gelesen.</translation>
    </message>
    <message>
        <source>%1 already exists.

Replace it?</source>
        <translation>%1 gibt es schon.

Ersetzen?</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>Du&amp;rchsuchen...</translation>
    </message>
    <message>
        <source>&amp;File:</source>
        <translation>&amp;Datei:</translation>
    </message>
    <message>
        <source>Fields &amp;separated by:</source>
        <translation>Felder &amp;getrennt durch:</translation>
    </message>
    <message>
        <source>The first &amp;row names the columns</source>
        <translation>Die erste &amp;Zeile benennt die Spalten</translation>
    </message>
    <message>
        <source>&amp;Question:</source>
        <translation>&amp;Frage:</translation>
    </message>
    <message>
        <source>&amp;Answer:</source>
        <translation>An&amp;twort:</translation>
    </message>
    <message>
        <source>&amp;Category:</source>
        <translation>&amp;Kategorie:</translation>
    </message>
    <message>
        <source>&amp;New items go:</source>
        <translation>&amp;Neue Karten kommen:</translation>
    </message>
    <message>
        <source>&amp;Keep the cards&apos; scheduling (new cards go to the queue)</source>
        <translation>&amp;Lernplan der Karten übernehmen (neue Karten kommen in die Warteschlange)</translation>
    </message>
    <message>
        <source>&amp;Import</source>
        <translation>&amp;Importieren</translation>
    </message>
    <message>
        <source>F&amp;ormat:</source>
        <translation>F&amp;ormat:</translation>
    </message>
    <message>
        <source>&amp;Include the items waiting in the queue</source>
        <translation>Karten aus der Warteschlange e&amp;inschließen</translation>
    </message>
    <message>
        <source>&amp;Export</source>
        <translation>&amp;Exportieren</translation>
    </message>
</context>
<context>
    <name>fonts_dialog</name>
    <message>
        <source>Fonts</source>
        <translation>Schriftarten</translation>
    </message>
    <message>
        <source>Question font</source>
        <translation>Schrift der Frage</translation>
    </message>
    <message>
        <source>Answer font</source>
        <translation>Schrift der Antwort</translation>
    </message>
    <message>
        <source>ClearType</source>
        <translation>ClearType-Kantenglättung</translation>
    </message>
    <message>
        <source>Font size:</source>
        <translation>Schriftgröße:</translation>
    </message>
    <message>
        <source>Small</source>
        <translation>Klein</translation>
    </message>
    <message>
        <source>Big</source>
        <translation>Groß</translation>
    </message>
    <message>
        <source>%1: typeface</source>
        <translation>%1: Schriftart</translation>
    </message>
    <message>
        <source>%1: size</source>
        <translation>%1: Größe</translation>
    </message>
    <message>
        <source>%1: ClearType</source>
        <translation>%1: ClearType-Kantenglättung</translation>
    </message>
</context>
<context>
    <name>help_page</name>
    <message>
        <source>Return or Space</source>
        <translation>Eingabe oder Leertaste</translation>
    </message>
    <message>
        <source>Main screen: go through the scheduled reviews. Review: show the answer.</source>
        <translation>Hauptbildschirm: die fälligen Wiederholungen abfragen. Abfrage: die Antwort zeigen.</translation>
    </message>
    <message>
        <source>0 to 5</source>
        <translation>0 bis 5</translation>
    </message>
    <message>
        <source>Grade the answer once it is shown. Add screen: add the item with that grade.</source>
        <translation>Die Antwort bewerten, sobald sie gezeigt wird. Neue Karten: die Karte mit dieser Bewertung anlegen.</translation>
    </message>
    <message>
        <source>Ctrl+0 to Ctrl+5</source>
        <translation>Strg+0 bis Strg+5</translation>
    </message>
    <message>
        <source>The same from a box you are typing in.</source>
        <translation>Dasselbe aus einem Feld, in dem Sie schreiben.</translation>
    </message>
    <message>
        <source>Ctrl+Return</source>
        <translation>Strg+Eingabe</translation>
    </message>
    <message>
        <source>Show the answer from a box you are typing in. Add screen: add with the last grade used.</source>
        <translation>Die Antwort aus einem Feld zeigen, in dem Sie schreiben. Neue Karten: mit der zuletzt gegebenen Bewertung anlegen.</translation>
    </message>
    <message>
        <source>Insert</source>
        <translation>Einfg</translation>
    </message>
    <message>
        <source>Main screen: add new items.</source>
        <translation>Hauptbildschirm: neue Karten anlegen.</translation>
    </message>
    <message>
        <source>Ctrl+U</source>
        <translation>Strg+U</translation>
    </message>
    <message>
        <source>Main screen: add items from the queue.</source>
        <translation>Hauptbildschirm: Karten aus der Warteschlange aufnehmen.</translation>
    </message>
    <message>
        <source>Ctrl+F</source>
        <translation>Strg+F</translation>
    </message>
    <message>
        <source>Main screen: force reviews of items not yet due.</source>
        <translation>Hauptbildschirm: noch nicht fällige Karten vorzeitig wiederholen.</translation>
    </message>
    <message>
        <source>Ctrl+N</source>
        <translation>Strg+N</translation>
    </message>
    <message>
        <source>Skip the item shown.</source>
        <translation>Die angezeigte Karte überspringen.</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Entf</translation>
    </message>
    <message>
        <source>Delete the item shown (asks first; No is the default).</source>
        <translation>Die angezeigte Karte löschen (mit Rückfrage; Nein ist vorgewählt).</translation>
    </message>
    <message>
        <source>Ctrl+R</source>
        <translation>Strg+R</translation>
    </message>
    <message>
        <source>Play the sounds of the side shown again.</source>
        <translation>Die Töne der angezeigten Seite erneut abspielen.</translation>
    </message>
    <message>
        <source>Escape</source>
        <translation>Esc</translation>
    </message>
    <message>
        <source>End typing in a box; again: back to the main screen.</source>
        <translation>Das Schreiben in einem Feld beenden; noch einmal: zurück zum Hauptbildschirm.</translation>
    </message>
    <message>
        <source>Tab, Shift+Tab</source>
        <translation>Tab, Umschalt+Tab</translation>
    </message>
    <message>
        <source>Add screen: go from one box to the other.</source>
        <translation>Neue Karten: von einem Feld zum anderen wechseln.</translation>
    </message>
    <message>
        <source>Click into a box</source>
        <translation>Klick in ein Feld</translation>
    </message>
    <message>
        <source>Edit the item&apos;s text; its formatting tags are shown while you edit.</source>
        <translation>Den Text der Karte bearbeiten; während der Bearbeitung werden die Formatierungs-Tags gezeigt.</translation>
    </message>
    <message>
        <source>Double click</source>
        <translation>Doppelklick</translation>
    </message>
    <message>
        <source>Open the item&apos;s picture in the picture viewer.</source>
        <translation>Das Bild der Karte im Bildbetrachter öffnen.</translation>
    </message>
    <message>
        <source>Right click or hold</source>
        <translation>Rechtsklick oder gedrückt halten</translation>
    </message>
    <message>
        <source>On a box: its menu. On a review button: choose the categories first.</source>
        <translation>Auf einem Feld: sein Menü. Auf einer Abfrage-Schaltfläche: zuerst die Kategorien wählen.</translation>
    </message>
    <message>
        <source>F1</source>
        <translation>F1</translation>
    </message>
    <message>
        <source>This page.</source>
        <translation>Diese Seite.</translation>
    </message>
    <message>
        <source>Alt+/</source>
        <translation>Alt+/</translation>
    </message>
    <message>
        <source>About.</source>
        <translation>Über das Programm.</translation>
    </message>
    <message>
        <source>Ctrl+Q or Alt+F4</source>
        <translation>Strg+Q oder Alt+F4</translation>
    </message>
    <message>
        <source>Exit; everything is saved.</source>
        <translation>Beenden; alles wird gespeichert.</translation>
    </message>
    <message>
        <source>Grade %1: forgotten</source>
        <translation>Bewertung %1: vergessen</translation>
    </message>
    <message>
        <source>Grade %1: recalled with difficulty</source>
        <translation>Bewertung %1: mit Mühe erinnert</translation>
    </message>
    <message>
        <source>Grade 4: recalled, the interval was right</source>
        <translation>Bewertung 4: erinnert, das Intervall war richtig</translation>
    </message>
    <message>
        <source>Grade 5: easy, the interval could be longer</source>
        <translation>Bewertung 5: leicht, das Intervall dürfte länger sein</translation>
    </message>
    <message>
        <source>Keys and Grades</source>
        <translation>Tasten und Bewertungen</translation>
    </message>
    <message>
        <source>Grades</source>
        <translation>Bewertungen</translation>
    </message>
    <message>
        <source>The next interval is chosen from your grades. Only grade 5 tells the scheduler that the interval could be longer; give it whenever the answer came easily, or the intervals stay short.</source>
        <translation>Das nächste Intervall wird aus Ihren Bewertungen bestimmt. Nur die Bewertung 5 sagt dem Lernplan, dass das Intervall länger sein dürfte; geben Sie sie immer, wenn die Antwort leicht fiel, sonst bleiben die Intervalle kurz.</translation>
    </message>
    <message>
        <source>Keys</source>
        <translation>Tasten</translation>
    </message>
    <message>
        <source>Grade 2: forgotten, though the answer was familiar</source>
        <translation>Bewertung 2: vergessen, doch die Antwort war vertraut</translation>
    </message>
    <message>
        <source>Grades 0 to 2 count as forgotten: the item comes back the same day.</source>
        <translation>Die Bewertungen 0 bis 2 gelten als vergessen: die Karte kommt am selben Tag wieder.</translation>
    </message>
</context>
<context>
    <name>main_window</name>
    <message>
        <source>%1<byte value="xd"/>
Reviews for today: %2<byte value="xd"/>
Total items: %3<byte value="xd"/>
Queue: %4<byte value="xd"/>
Days: %5</source>
        <translation>%1<byte value="xd"/>
Wiederholungen heute: %2<byte value="xd"/>
Karten gesamt: %3<byte value="xd"/>
Warteschlange: %4<byte value="xd"/>
Tage: %5</translation>
    </message>
    <message>
        <source>MobileCardwright %1<byte value="xd"/>
Reviews for today: %2<byte value="xd"/>
Total items: %3<byte value="xd"/>
Queue: %4<byte value="xd"/>
Days: %5<byte value="xd"/>
ANN state: %6; cases: %7</source>
        <translation>MobileCardwright %1<byte value="xd"/>
Wiederholungen heute: %2<byte value="xd"/>
Karten gesamt: %3<byte value="xd"/>
Warteschlange: %4<byte value="xd"/>
Tage: %5<byte value="xd"/>
Netz: %6; Fälle: %7</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>High TestError!</source>
        <translation>Hoher TestError!</translation>
    </message>
    <message>
        <source>Status and main buttons</source>
        <translation>Status und Hauptschaltflächen</translation>
    </message>
    <message>
        <source>Go through scheduled reviews</source>
        <translation>Fällige Wiederholungen abfragen</translation>
    </message>
    <message>
        <source>Add new items</source>
        <translation>Neue Karten anlegen</translation>
    </message>
    <message>
        <source>Add items from queue</source>
        <translation>Karten aus der Warteschlange</translation>
    </message>
    <message>
        <source>Force reviews</source>
        <translation>Vorzeitig wiederholen</translation>
    </message>
    <message>
        <source>%1 (key %2)</source>
        <translation>%1 (Taste %2)</translation>
    </message>
    <message>
        <source>Return. Right click or hold: choose the categories first.</source>
        <translation>Eingabe. Rechtsklick oder gedrückt halten: zuerst die Kategorien wählen.</translation>
    </message>
    <message>
        <source>Insert</source>
        <translation>Einfg</translation>
    </message>
    <message>
        <source>Ctrl+U. Right click or hold: choose the categories first.</source>
        <translation>Strg+U. Rechtsklick oder gedrückt halten: zuerst die Kategorien wählen.</translation>
    </message>
    <message>
        <source>Ctrl+F. Right click or hold: choose the categories first.</source>
        <translation>Strg+F. Rechtsklick oder gedrückt halten: zuerst die Kategorien wählen.</translation>
    </message>
    <message>
        <source>Return or Space</source>
        <translation>Eingabe oder Leertaste</translation>
    </message>
    <message>
        <source>Data directory and counts</source>
        <translation>Datenverzeichnis und Zahlen</translation>
    </message>
    <message>
        <source>Question</source>
        <translation>Frage</translation>
    </message>
    <message>
        <source>Answer</source>
        <translation>Antwort</translation>
    </message>
    <message>
        <source>Cannot Access Directory</source>
        <translation>Kein Zugriff auf das Verzeichnis</translation>
    </message>
    <message>
        <source>Cannot access nor create directory that is set in settings:
%1

Using default directory:
%2</source>
        <translation>Das in den Einstellungen gesetzte Verzeichnis kann weder geöffnet noch angelegt werden:
%1

Es wird das Standardverzeichnis verwendet:
%2</translation>
    </message>
    <message>
        <source>Directory Not Accessible</source>
        <translation>Verzeichnis nicht zugänglich</translation>
    </message>
    <message>
        <source>Directory is not accessible, I give up.</source>
        <translation>Das Verzeichnis ist nicht zugänglich, ich gebe auf.</translation>
    </message>
    <message>
        <source>Directory is not accessible.</source>
        <translation>Das Verzeichnis ist nicht zugänglich.</translation>
    </message>
    <message>
        <source>Read-Only Data Directory</source>
        <translation>Schreibgeschütztes Datenverzeichnis</translation>
    </message>
    <message>
        <source>The data directory cannot be written:
%1

The database is opened read-only: you can review, but nothing is saved there. At the close you can save it in another folder. To work on it as usual, make the directory writable, or choose another one in File &gt; Settings.</source>
        <translation>In das Datenverzeichnis kann nicht geschrieben werden:
%1

Die Datenbank wird schreibgeschützt geöffnet: Sie können wiederholen, aber dort wird nichts gespeichert. Beim Schließen können Sie sie in einem anderen Ordner speichern. Um wie gewohnt damit zu arbeiten, machen Sie das Verzeichnis beschreibbar oder wählen Sie unter Datei &gt; Einstellungen ein anderes.</translation>
    </message>
    <message>
        <source>Data Directory Not Locked</source>
        <translation>Datenverzeichnis nicht gesperrt</translation>
    </message>
    <message>
        <source>File locks are not available in the data directory:
%1

The database is opened, but a second copy of Cardwright started on it cannot be kept out, and the two would overwrite each other&apos;s work. Run only one copy at a time.</source>
        <translation>Im Datenverzeichnis gibt es keine Dateisperren:
%1

Die Datenbank wird geöffnet, aber ein zweites darauf gestartetes Cardwright kann nicht ferngehalten werden, und beide würden gegenseitig ihre Arbeit überschreiben. Starten Sie Cardwright immer nur einmal.</translation>
    </message>
    <message>
        <source>Database In Use</source>
        <translation>Datenbank in Gebrauch</translation>
    </message>
    <message>
        <source>Another copy of Cardwright is using the database in:
%1

Close it and start Cardwright again.</source>
        <translation>Ein anderes Cardwright verwendet die Datenbank in:
%1

Schließen Sie es und starten Sie Cardwright erneut.</translation>
    </message>
    <message>
        <source>The backup was restored.</source>
        <translation>Die Sicherung wurde wiederhergestellt.</translation>
    </message>
    <message numerus="yes">
        <source>Imported %n items.</source>
        <translation>
            <numerusform>%n Karte importiert.</numerusform>
            <numerusform>%n Karten importiert.</numerusform>
        </translation>
    </message>
    <message>
        <source>Deleting Item</source>
        <translation>Karte löschen</translation>
    </message>
    <message>
        <source>Do you want to delete currently visible item?</source>
        <translation>Möchten Sie die angezeigte Karte löschen?</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Rückgängig</translation>
    </message>
    <message>
        <source>&amp;Settings...</source>
        <translation>&amp;Einstellungen...</translation>
    </message>
    <message>
        <source>F&amp;onts...</source>
        <translation>Schrift&amp;arten...</translation>
    </message>
    <message>
        <source>&amp;Restore Backup...</source>
        <translation>Sicherung &amp;wiederherstellen...</translation>
    </message>
    <message>
        <source>&amp;Import...</source>
        <translation>&amp;Importieren...</translation>
    </message>
    <message>
        <source>&amp;Export...</source>
        <translation>E&amp;xportieren...</translation>
    </message>
    <message>
        <source>S&amp;tatistics...</source>
        <translation>S&amp;tatistik...</translation>
    </message>
    <message>
        <source>&amp;Browse Items...</source>
        <translation>Karten &amp;durchsuchen...</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;Keys and Grades</source>
        <translation>&amp;Tasten und Bewertungen</translation>
    </message>
    <message>
        <source>&amp;Getting Started</source>
        <translation>&amp;Erste Schritte</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>Ü&amp;ber</translation>
    </message>
    <message>
        <source>  &amp;Stop  </source>
        <translation>  &amp;Stopp  </translation>
    </message>
    <message>
        <source>  S&amp;kip  </source>
        <translation>  &amp;Überspringen  </translation>
    </message>
    <message>
        <source>&amp;Undo Grade %1 of &quot;%2&quot;</source>
        <translation>&amp;Rückgängig: Bewertung %1 für „%2“</translation>
    </message>
    <message>
        <source>&amp;Review</source>
        <translation>&amp;Abfrage</translation>
    </message>
    <message>
        <source>&amp;Go through scheduled reviews	Return</source>
        <translation>&amp;Fällige Wiederholungen abfragen	Eingabe</translation>
    </message>
    <message>
        <source>&amp;Add new items	Ins</source>
        <translation>&amp;Neue Karten anlegen	Einfg</translation>
    </message>
    <message>
        <source>Add items from &amp;queue</source>
        <translation>Karten aus der &amp;Warteschlange</translation>
    </message>
    <message>
        <source>&amp;Force reviews</source>
        <translation>&amp;Vorzeitig wiederholen</translation>
    </message>
    <message>
        <source>Show A&amp;nswer	Return, Space</source>
        <translation>&amp;Antwort zeigen	Eingabe, Leertaste</translation>
    </message>
    <message>
        <source>Gra&amp;de	0 to 5</source>
        <translation>&amp;Bewerten	0 bis 5</translation>
    </message>
    <message>
        <source>Re&amp;play Sounds</source>
        <translation>Töne &amp;erneut abspielen</translation>
    </message>
    <message>
        <source>S&amp;kip</source>
        <translation>&amp;Überspringen</translation>
    </message>
    <message>
        <source>De&amp;lete Item...	Del</source>
        <translation>Karte &amp;löschen...	Entf</translation>
    </message>
    <message>
        <source>&amp;Stop	Esc</source>
        <translation>Abfrage &amp;stoppen	Esc</translation>
    </message>
    <message>
        <source>Grade %1</source>
        <translation>Bewertung %1</translation>
    </message>
    <message>
        <source>Shows the answer</source>
        <translation>Zeigt die Antwort</translation>
    </message>
    <message numerus="yes">
        <source>%n items added to the queue</source>
        <translation>
            <numerusform>%n Karte in die Warteschlange übernommen</numerusform>
            <numerusform>%n Karten in die Warteschlange übernommen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n items taken out of it</source>
        <translation>
            <numerusform>%n Karte aus ihr genommen</numerusform>
            <numerusform>%n Karten aus ihr genommen</numerusform>
        </translation>
    </message>
    <message>
        <source>Opening %1 ...</source>
        <translation>%1 wird geöffnet ...</translation>
    </message>
</context>
<context>
    <name>markup</name>
    <message>
        <source>%1 is %2 bytes long in UTF-8, counting two bytes for each line break. It may be at most 8,191 bytes.</source>
        <translation>%1 ist in UTF-8 %2 Bytes lang, jeder Zeilenumbruch zählt zwei Bytes. Erlaubt sind höchstens 8.191 Bytes.</translation>
    </message>
    <message>
        <source>The picture this item names cannot be shown (error.log says why).</source>
        <translation>Das Bild, das dieser Eintrag nennt, kann nicht angezeigt werden (error.log sagt, warum).</translation>
    </message>
    <message>
        <source>The picture %1 cannot be shown: %2</source>
        <translation>Das Bild %1 kann nicht angezeigt werden: %2</translation>
    </message>
    <message>
        <source>there is no such file</source>
        <translation>diese Datei gibt es nicht</translation>
    </message>
    <message>
        <source>The sound %1 cannot be played: there is no such file</source>
        <translation>Der Ton %1 kann nicht abgespielt werden: diese Datei gibt es nicht</translation>
    </message>
</context>
<context>
    <name>overview_panel</name>
    <message>
        <source>How to begin</source>
        <translation>So fangen Sie an</translation>
    </message>
    <message>
        <source>&amp;Open Data Folder</source>
        <translation>Daten&amp;ordner öffnen</translation>
    </message>
    <message>
        <source>A&amp;dd New Items</source>
        <translation>&amp;Neue Karten anlegen</translation>
    </message>
    <message>
        <source>&amp;Import...</source>
        <translation>&amp;Importieren...</translation>
    </message>
    <message>
        <source>Categories</source>
        <translation>Kategorien</translation>
    </message>
    <message>
        <source>Category</source>
        <translation>Kategorie</translation>
    </message>
    <message>
        <source>Items</source>
        <translation>Karten</translation>
    </message>
    <message>
        <source>Due today</source>
        <translation>Heute fällig</translation>
    </message>
    <message>
        <source>Queued</source>
        <translation>Warteschlange</translation>
    </message>
    <message>
        <source>Items in the category and in those below it</source>
        <translation>Karten in der Kategorie und in denen darunter</translation>
    </message>
    <message>
        <source>Reviews due today or earlier, with those below it</source>
        <translation>Heute oder früher fällige Wiederholungen, einschließlich der Kategorien darunter</translation>
    </message>
    <message>
        <source>Items waiting in the queue, with those below it</source>
        <translation>Karten in der Warteschlange, einschließlich der Kategorien darunter</translation>
    </message>
    <message>
        <source>Return or double click: review what is due in the category. Menu key or right click: more.</source>
        <translation>Eingabe oder Doppelklick: das Fällige der Kategorie abfragen. Menütaste oder Rechtsklick: mehr.</translation>
    </message>
    <message>
        <source>Data: %1   Due today: %2   Queued: %3</source>
        <translation>Daten: %1   Heute fällig: %2   Warteschlange: %3</translation>
    </message>
    <message>
        <source>read-only</source>
        <translation>schreibgeschützt</translation>
    </message>
    <message>
        <source>Nothing is queued for &quot;%1&quot;.</source>
        <translation>Für „%1“ wartet nichts in der Warteschlange.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; holds no items.</source>
        <translation>„%1“ enthält keine Karten.</translation>
    </message>
    <message>
        <source>Nothing is due in &quot;%1&quot; today.</source>
        <translation>In „%1“ ist heute nichts fällig.</translation>
    </message>
    <message>
        <source>&amp;Go Through Scheduled Reviews	Return</source>
        <translation>&amp;Fällige Wiederholungen abfragen	Eingabe</translation>
    </message>
    <message>
        <source>Add Items from &amp;Queue</source>
        <translation>Karten aus der &amp;Warteschlange</translation>
    </message>
    <message>
        <source>&amp;Force Reviews</source>
        <translation>&amp;Vorzeitig wiederholen</translation>
    </message>
    <message>
        <source>&amp;Browse Items...	Ctrl+B</source>
        <translation>Karten &amp;durchsuchen...	Strg+B</translation>
    </message>
    <message>
        <source>Getting Started</source>
        <translation>Erste Schritte</translation>
    </message>
    <message>
        <source>&amp;New Category...</source>
        <translation>&amp;Neue Kategorie...</translation>
    </message>
    <message>
        <source>&amp;Rename Category...	F2</source>
        <translation>Kategorie &amp;umbenennen...	F2</translation>
    </message>
    <message>
        <source>&amp;Delete Category	Del</source>
        <translation>Kategorie &amp;löschen	Entf</translation>
    </message>
    <message>
        <source>Overview</source>
        <translation>Übersicht</translation>
    </message>
    <message>
        <source>Your collection is empty.</source>
        <translation>Ihre Lernkartei ist leer.</translation>
    </message>
    <message numerus="yes">
        <source>Your collection holds %n items in the queue and none in learning yet.</source>
        <translation>
            <numerusform>Ihre Lernkartei enthält %n Karte in der Warteschlange und noch keine im Lernplan.</numerusform>
            <numerusform>Ihre Lernkartei enthält %n Karten in der Warteschlange und noch keine im Lernplan.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Your collection holds %n items.</source>
        <translation>
            <numerusform>Ihre Lernkartei enthält %n Karte.</numerusform>
            <numerusform>Ihre Lernkartei enthält %n Karten.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Your collection holds %n items and %1 more in the queue.</source>
        <translation>
            <numerusform>Ihre Lernkartei enthält %n Karte und %1 weitere in der Warteschlange.</numerusform>
            <numerusform>Ihre Lernkartei enthält %n Karten und %1 weitere in der Warteschlange.</numerusform>
        </translation>
    </message>
    <message>
        <source>&lt;h3&gt;Welcome to Cardwright&lt;/h3&gt;&lt;p&gt;%2 It is kept in the data directory %1 (File &amp;gt; Settings can choose another).&lt;/p&gt;&lt;p&gt;Three ways to begin:&lt;/p&gt;&lt;ol&gt;&lt;li&gt;&lt;b&gt;Add new items&lt;/b&gt; (Insert): type a question and its answer, then grade how well you know it.&lt;/li&gt;&lt;li&gt;&lt;b&gt;File &amp;gt; Import...&lt;/b&gt; (Ctrl+I): take items from other trainers&apos; packages (.apkg, .colpkg) or from word lists (text files with a question and an answer on each line).&lt;/li&gt;&lt;li&gt;&lt;b&gt;The queue file&lt;/b&gt;: put items into &lt;tt&gt;queue.txt&lt;/tt&gt; in the data directory; Add items from queue (Ctrl+U) introduces them one by one.&lt;/li&gt;&lt;/ol&gt;&lt;p&gt;Then come back every day: Return goes through the reviews that are due.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Willkommen bei Cardwright&lt;/h3&gt;&lt;p&gt;%2 Sie liegt im Datenverzeichnis %1 (unter Datei &amp;gt; Einstellungen können Sie ein anderes wählen).&lt;/p&gt;&lt;p&gt;Drei Wege zum Anfangen:&lt;/p&gt;&lt;ol&gt;&lt;li&gt;&lt;b&gt;Neue Karten anlegen&lt;/b&gt; (Einfg): Geben Sie eine Frage und ihre Antwort ein und bewerten Sie dann, wie gut Sie sie wissen.&lt;/li&gt;&lt;li&gt;&lt;b&gt;Datei &amp;gt; Importieren...&lt;/b&gt; (Strg+I): Übernehmen Sie Karten aus Paketen anderer Lernprogramme (.apkg, .colpkg) oder aus Vokabellisten (Textdateien mit einer Frage und einer Antwort in jeder Zeile).&lt;/li&gt;&lt;li&gt;&lt;b&gt;Die Warteschlangendatei&lt;/b&gt;: Legen Sie Karten in &lt;tt&gt;queue.txt&lt;/tt&gt; im Datenverzeichnis ab; Karten aus der Warteschlange (Strg+U) nimmt sie eine nach der anderen auf.&lt;/li&gt;&lt;/ol&gt;&lt;p&gt;Kommen Sie dann jeden Tag wieder: Die Eingabetaste fragt die fälligen Wiederholungen ab.&lt;/p&gt;</translation>
    </message>
</context>
<context>
    <name>problem_texts</name>
    <message>
        <source>No space left on device</source>
        <translation>Kein Platz mehr auf dem Gerät</translation>
    </message>
    <message>
        <source>Disk quota exceeded</source>
        <translation>Speicherplatzkontingent überschritten</translation>
    </message>
    <message>
        <source>Permission denied</source>
        <translation>Keine Berechtigung</translation>
    </message>
    <message>
        <source>Operation not permitted</source>
        <translation>Die Operation ist nicht erlaubt</translation>
    </message>
    <message>
        <source>Read-only file system</source>
        <translation>Schreibgeschütztes Dateisystem</translation>
    </message>
    <message>
        <source>No such file or directory</source>
        <translation>Datei oder Verzeichnis nicht gefunden</translation>
    </message>
    <message>
        <source>Not a directory</source>
        <translation>Kein Verzeichnis</translation>
    </message>
    <message>
        <source>Is a directory</source>
        <translation>Ist ein Verzeichnis</translation>
    </message>
    <message>
        <source>File exists</source>
        <translation>Die Datei existiert bereits</translation>
    </message>
    <message>
        <source>Input/output error</source>
        <translation>Ein-/Ausgabefehler</translation>
    </message>
    <message>
        <source>File name too long</source>
        <translation>Dateiname zu lang</translation>
    </message>
    <message>
        <source>File too large</source>
        <translation>Datei zu groß</translation>
    </message>
    <message>
        <source>No locks available</source>
        <translation>Keine Dateisperren verfügbar</translation>
    </message>
    <message>
        <source>%1 bytes</source>
        <translation>%1 Bytes</translation>
    </message>
    <message>
        <source>%1 MiB</source>
        <translation>%1 MiB</translation>
    </message>
    <message>
        <source>the sound &quot;%1&quot;</source>
        <translation>der Ton „%1“</translation>
    </message>
    <message>
        <source>the picture &quot;%1&quot;</source>
        <translation>das Bild „%1“</translation>
    </message>
    <message>
        <source>the answer</source>
        <translation>die Antwort</translation>
    </message>
    <message>
        <source>the question</source>
        <translation>die Frage</translation>
    </message>
    <message>
        <source>cannot open %1: %2</source>
        <translation>%1 kann nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>%1 kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>cannot create %1: %2</source>
        <translation>%1 kann nicht angelegt werden: %2</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>the file is larger than 256 MiB; split it into smaller files</source>
        <translation>die Datei ist größer als 256 MiB; teilen Sie sie in kleinere Dateien auf</translation>
    </message>
    <message>
        <source>line %1: the separator &quot;%2&quot; is not one this program reads (tab, comma, semicolon, pipe, colon, space)</source>
        <translation>Zeile %1: das Trennzeichen „%2“ kennt dieses Programm nicht (Tabulator, Komma, Semikolon, senkrechter Strich, Doppelpunkt, Leerzeichen)</translation>
    </message>
    <message>
        <source>line %1: a quoted field is not closed before the end of the file</source>
        <translation>Zeile %1: Ein Feld in Anführungszeichen wird vor dem Ende der Datei nicht geschlossen</translation>
    </message>
    <message>
        <source>%1 is not a package that can be read (%2)</source>
        <translation>%1 ist kein lesbares Paket (%2)</translation>
    </message>
    <message>
        <source>the package holds more than %1 files</source>
        <translation>das Paket enthält mehr als %1 Dateien</translation>
    </message>
    <message>
        <source>no package is open</source>
        <translation>es ist kein Paket geöffnet</translation>
    </message>
    <message>
        <source>the package&apos;s %1 cannot be read (%2)</source>
        <translation>%1 im Paket kann nicht gelesen werden (%2)</translation>
    </message>
    <message>
        <source>the package&apos;s %1 unpacks to more than %2</source>
        <translation>%1 im Paket wird entpackt größer als %2</translation>
    </message>
    <message>
        <source>the package unpacks to more than %1</source>
        <translation>das Paket wird entpackt größer als %1</translation>
    </message>
    <message>
        <source>the package&apos;s %1 is damaged (%2)</source>
        <translation>%1 im Paket ist beschädigt (%2)</translation>
    </message>
    <message>
        <source>out of memory while unpacking %1</source>
        <translation>beim Entpacken von %1 reichte der Arbeitsspeicher nicht</translation>
    </message>
    <message>
        <source>the package&apos;s %1 ends in the middle of its compressed data</source>
        <translation>%1 im Paket endet mitten in seinen komprimierten Daten</translation>
    </message>
    <message>
        <source>cannot copy the media file %1 into %2: %3</source>
        <translation>die Mediendatei %1 kann nicht nach %2 kopiert werden: %3</translation>
    </message>
    <message>
        <source>cannot write the media files into %1: %2</source>
        <translation>die Mediendateien können nicht nach %1 geschrieben werden: %2</translation>
    </message>
    <message>
        <source>the package holds no collection (collection.anki2, .anki21 or .anki21b)</source>
        <translation>das Paket enthält keine Sammlung (collection.anki2, .anki21 oder .anki21b)</translation>
    </message>
    <message>
        <source>cannot make a temporary folder in %1: %2</source>
        <translation>in %1 kann kein temporärer Ordner angelegt werden: %2</translation>
    </message>
    <message>
        <source>the package&apos;s collection needs %1, and %2 has %3 free</source>
        <translation>die Sammlung des Pakets braucht %1, in %2 sind aber nur %3 frei</translation>
    </message>
    <message>
        <source>the package&apos;s collection cannot be opened: %1</source>
        <translation>die Sammlung des Pakets kann nicht geöffnet werden: %1</translation>
    </message>
    <message>
        <source>the package&apos;s collection is damaged or of an unknown kind (%1)</source>
        <translation>die Sammlung des Pakets ist beschädigt oder von unbekannter Art (%1)</translation>
    </message>
    <message>
        <source>the package&apos;s collection is damaged (%1)</source>
        <translation>die Sammlung des Pakets ist beschädigt (%1)</translation>
    </message>
    <message>
        <source>the package&apos;s list of media files is damaged</source>
        <translation>die Liste der Mediendateien im Paket ist beschädigt</translation>
    </message>
    <message>
        <source>the package&apos;s collection has no collection record</source>
        <translation>die Sammlung des Pakets hat keinen Sammlungseintrag</translation>
    </message>
    <message>
        <source>the package&apos;s list of decks is damaged</source>
        <translation>die Liste der Stapel im Paket ist beschädigt</translation>
    </message>
    <message>
        <source>the categories nest deeper than %1 levels</source>
        <translation>die Kategorien sind tiefer als %1 Ebenen verschachtelt</translation>
    </message>
    <message>
        <source>the item &quot;%1&quot; cannot be written so that the XML reader takes it back (a text too long for a multi-line element, or holding both &quot;]]&gt;&quot; and its own closing tag)</source>
        <translation>die Karte „%1“ lässt sich nicht so schreiben, dass das Einlesen als XML sie zurückbekommt (ein Text zu lang für ein mehrzeiliges Element, oder er enthält sowohl „]]&gt;“ als auch sein eigenes schließendes Tag)</translation>
    </message>
    <message>
        <source>the category table is damaged: some items belong to no category that can be written</source>
        <translation>die Kategorientabelle ist beschädigt: einige Karten gehören zu keiner Kategorie, die sich schreiben lässt</translation>
    </message>
    <message>
        <source>no answer</source>
        <translation>keine Antwort</translation>
    </message>
    <message>
        <source>no question</source>
        <translation>keine Frage</translation>
    </message>
    <message>
        <source>%1 holds a NUL byte, which no text of this program can keep</source>
        <translation>%1 enthält ein NUL-Byte, das kein Text dieses Programms aufnehmen kann</translation>
    </message>
    <message>
        <source>%1 is not UTF-8 text</source>
        <translation>%1 ist kein UTF-8-Text</translation>
    </message>
    <message>
        <source>%1 is %2 bytes long, counting two for each line break (at most %3)</source>
        <translation>%1 ist %2 Bytes lang, jeder Zeilenumbruch zählt zwei (höchstens %3)</translation>
    </message>
    <message>
        <source>a text holds its own closing tag, which queue.txt cannot keep</source>
        <translation>ein Text enthält sein eigenes schließendes Tag, das queue.txt nicht aufnehmen kann</translation>
    </message>
    <message>
        <source>the category &quot;%1&quot; cannot be made (the database holds %2 categories, the most it can); its items go into &quot;%3&quot;</source>
        <translation>die Kategorie „%1“ kann nicht angelegt werden (die Datenbank enthält %2 Kategorien, so viele, wie sie fassen kann); ihre Karten kommen nach „%3“</translation>
    </message>
    <message>
        <source>%1 is not in the package</source>
        <translation>%1 ist nicht im Paket enthalten</translation>
    </message>
    <message>
        <source>%1 would leave the media folder</source>
        <translation>%1 würde aus dem Medienordner hinausführen</translation>
    </message>
    <message>
        <source>the sound name &quot;%1&quot;</source>
        <translation>der Tonname „%1“</translation>
    </message>
    <message>
        <source>the picture name &quot;%1&quot;</source>
        <translation>der Bildname „%1“</translation>
    </message>
    <message>
        <source>%1 is %2, more than the %3 one imported file may take</source>
        <translation>%1 ist %2 groß, mehr als die %3, die eine importierte Datei haben darf</translation>
    </message>
    <message>
        <source>%1 cannot be copied: the folder %2 cannot be made (%3)</source>
        <translation>%1 kann nicht kopiert werden: der Ordner %2 kann nicht angelegt werden (%3)</translation>
    </message>
    <message>
        <source>%1 needs %2, and the disk of %3 has %4 free</source>
        <translation>%1 braucht %2, auf dem Datenträger von %3 sind aber nur %4 frei</translation>
    </message>
    <message>
        <source>line %1: %2; left out</source>
        <translation>Zeile %1: %2; ausgelassen</translation>
    </message>
    <message>
        <source>note %1: %2; left out</source>
        <translation>Notiz %1: %2; ausgelassen</translation>
    </message>
    <message>
        <source>the data directory is read-only</source>
        <translation>das Datenverzeichnis ist schreibgeschützt</translation>
    </message>
    <message>
        <source>it could not be read when the database was opened, and no copy of it could be kept</source>
        <translation>die Datei war beim Öffnen der Datenbank nicht lesbar, und es ließ sich keine Kopie davon aufbewahren</translation>
    </message>
    <message>
        <source>the folder already holds a database</source>
        <translation>der Ordner enthält bereits eine Datenbank</translation>
    </message>
    <message>
        <source>The change log &quot;%1&quot; cannot be opened: changes made here are kept and reach the other computers once the log takes them.</source>
        <translation>Das Änderungsprotokoll „%1“ kann nicht geöffnet werden: Hier vorgenommene Änderungen werden aufbewahrt und erreichen die anderen Computer, sobald das Protokoll sie aufnimmt.</translation>
    </message>
    <message>
        <source>The file &quot;%1&quot; is not this computer&apos;s change log: changes made here are kept and reach the other computers once the log takes them.</source>
        <translation>Die Datei „%1“ ist nicht das Änderungsprotokoll dieses Computers: Hier vorgenommene Änderungen werden aufbewahrt und erreichen die anderen Computer, sobald das Protokoll sie aufnimmt.</translation>
    </message>
    <message>
        <source>The change log &quot;%1&quot; cannot be written: changes made here are kept and reach the other computers once the log takes them.</source>
        <translation>Das Änderungsprotokoll „%1“ kann nicht geschrieben werden: Hier vorgenommene Änderungen werden aufbewahrt und erreichen die anderen Computer, sobald das Protokoll sie aufnimmt.</translation>
    </message>
    <message>
        <source>Another computer writes this computer&apos;s change log &quot;%1&quot; under the same identity: it is probably a copy of this system. This computer now has an identity of its own, and the record of which items are shared was made again from the sync folder. Items whose texts here differ from the folder&apos;s keep them as a conflict (Browse Items, &quot;Conflicts...&quot;); an item deleted here since the copy was made may come back.</source>
        <translation>Ein anderer Computer schreibt das Änderungsprotokoll dieses Computers „%1“ unter derselben Kennung: Vermutlich ist er eine Kopie dieses Systems. Dieser Computer hat jetzt eine eigene Kennung, und die Aufzeichnung, welche Karten geteilt sind, wurde aus dem Sync-Ordner neu erstellt. Karten, deren Texte hier von denen des Ordners abweichen, behalten sie als Konflikt (Karten durchsuchen, „Konflikte...“); eine Karte, die hier seit dem Kopieren gelöscht wurde, kann wiederkommen.</translation>
    </message>
</context>
<context>
    <name>screens</name>
    <message>
        <source>Added: %1. Ctrl+Return adds with the last grade used; choose one with Ctrl+0 to Ctrl+5 first.</source>
        <translation>Hinzugefügt: %1. Strg+Eingabe legt mit der zuletzt gegebenen Bewertung an; wählen Sie zuerst eine mit Strg+0 bis Strg+5.</translation>
    </message>
    <message>
        <source>No more scheduled reviews.</source>
        <translation>Keine fälligen Wiederholungen mehr.</translation>
    </message>
    <message>
        <source>No more items in queue.</source>
        <translation>Keine Karten mehr in der Warteschlange.</translation>
    </message>
    <message>
        <source>No more items.</source>
        <translation>Keine Karten mehr.</translation>
    </message>
    <message>
        <source>Nothing was added.</source>
        <translation>Es wurde nichts hinzugefügt.</translation>
    </message>
    <message>
        <source>The question</source>
        <translation>Die Frage</translation>
    </message>
    <message>
        <source>The answer</source>
        <translation>Die Antwort</translation>
    </message>
    <message>
        <source>Question and answer needed</source>
        <translation>Frage und Antwort fehlen</translation>
    </message>
    <message>
        <source>Please type question and answer.</source>
        <translation>Bitte geben Sie Frage und Antwort ein.</translation>
    </message>
    <message>
        <source>Answer needed</source>
        <translation>Antwort fehlt</translation>
    </message>
    <message>
        <source>Please type an answer.</source>
        <translation>Bitte geben Sie eine Antwort ein.</translation>
    </message>
    <message>
        <source>Question needed</source>
        <translation>Frage fehlt</translation>
    </message>
    <message>
        <source>Please type a question.</source>
        <translation>Bitte geben Sie eine Frage ein.</translation>
    </message>
    <message>
        <source>Added: %1</source>
        <translation>Hinzugefügt: %1</translation>
    </message>
    <message>
        <source>Question: type it here, then Tab to the answer</source>
        <translation>Frage: hier eingeben, dann mit Tab zur Antwort</translation>
    </message>
    <message>
        <source>Answer: type it here, then press a grade 0 to 5 (Ctrl+0 to Ctrl+5 from a box) to add the item</source>
        <translation>Antwort: hier eingeben, dann mit einer Bewertung 0 bis 5 (Strg+0 bis Strg+5 aus einem Feld) die Karte anlegen</translation>
    </message>
    <message>
        <source>Added: 0</source>
        <translation>Hinzugefügt: 0</translation>
    </message>
    <message>
        <source>Review Not Logged</source>
        <translation>Wiederholung nicht protokolliert</translation>
    </message>
    <message>
        <source>The grade could not be written to the review history:
%1

%2

The grades are kept and written to it as soon as the disk takes them, at the latest when the program closes.</source>
        <translation>Die Bewertung konnte nicht in das Wiederholungsprotokoll geschrieben werden:
%1

%2

Die Bewertungen bleiben erhalten und werden eingetragen, sobald der Datenträger sie aufnimmt, spätestens beim Beenden des Programms.</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
    <message>
        <source>The grade was undone, but the training case it added could not be taken out of user_cases.bin (see error.log).</source>
        <translation>Die Bewertung wurde zurückgenommen, aber der Trainingsfall, den sie hinzugefügt hatte, konnte nicht aus user_cases.bin entfernt werden (siehe error.log).</translation>
    </message>
    <message>
        <source>Not recalled %1 times today: this item comes back another day.</source>
        <translation>Heute %1-mal nicht gewusst: dieser Eintrag kommt an einem anderen Tag wieder.</translation>
    </message>
    <message>
        <source>Recall the answer, then press Return or OK to see it and grade how well you knew it: 0-2 not recalled, 3-5 recalled (F1: more)</source>
        <translation>Erinnern Sie sich an die Antwort; Eingabe oder OK zeigt sie, dann bewerten Sie, wie gut Sie sie wussten: 0-2 nicht gewusst, 3-5 gewusst (F1: mehr)</translation>
    </message>
</context>
<context>
    <name>settings_dialog</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Database path</source>
        <translation>Pfad der Datenbank</translation>
    </message>
    <message>
        <source>Sync folder</source>
        <translation>Sync-Ordner</translation>
    </message>
    <message>
        <source>Synchronise through folder...</source>
        <translation>Über einen Ordner abgleichen...</translation>
    </message>
    <message>
        <source>Synchronise through folder</source>
        <translation>Über einen Ordner abgleichen</translation>
    </message>
    <message>
        <source>New path takes effect after MCW restart</source>
        <translation>Ein neuer Pfad gilt, sobald Cardwright neu gestartet wird.</translation>
    </message>
    <message>
        <source>&amp;Database path:</source>
        <translation>&amp;Pfad der Datenbank:</translation>
    </message>
    <message>
        <source>&amp;Random pick from queue</source>
        <translation>&amp;Zufällig aus der Warteschlange wählen</translation>
    </message>
    <message>
        <source>&amp;Sync folder (empty: off; takes effect at once):</source>
        <translation>&amp;Sync-Ordner (leer: aus; gilt sofort):</translation>
    </message>
    <message>
        <source>Synchronise &amp;through folder...</source>
        <translation>Über einen Ordner a&amp;bgleichen...</translation>
    </message>
    <message>
        <source>Please name the folder of the database.</source>
        <translation>Bitte geben Sie den Ordner der Datenbank an.</translation>
    </message>
    <message>
        <source>%1 is a file, not a folder.</source>
        <translation>%1 ist eine Datei, kein Ordner.</translation>
    </message>
    <message>
        <source>%1 cannot be made: %2 is a file, not a folder.</source>
        <translation>%1 kann nicht angelegt werden: %2 ist eine Datei, kein Ordner.</translation>
    </message>
    <message>
        <source>%1 cannot be made: %2 cannot be written.</source>
        <translation>%1 kann nicht angelegt werden: In %2 kann nicht geschrieben werden.</translation>
    </message>
</context>
<context>
    <name>statistics_window</name>
    <message>
        <source>%1 (nothing yet)</source>
        <translation>%1 (noch nichts)</translation>
    </message>
    <message numerus="yes">
        <source>No reviews were due in the last %n days.</source>
        <translation>
            <numerusform>Am letzten Tag war keine Wiederholung fällig.</numerusform>
            <numerusform>In den letzten %n Tagen waren keine Wiederholungen fällig.</numerusform>
        </translation>
    </message>
    <message>
        <source>Retention at review, last %1 days: %2 % of %3 due reviews recalled.</source>
        <translation>Behaltensquote bei der Wiederholung, letzte %1 Tage: %2 % von %3 fälligen Wiederholungen erinnert.</translation>
    </message>
    <message>
        <source>Statistics</source>
        <translation>Statistik</translation>
    </message>
    <message>
        <source>None of your last %1 grades was a 5, while you recalled more than %2 % of your due reviews. Grade 5 means the answer came easily and the interval could have been longer; it is the only grade that lets the network lengthen your intervals. Without it they stay about as long as they are, and you review more often than you need to.</source>
        <translation>Keine Ihrer letzten %1 Bewertungen war eine 5, obwohl Sie mehr als %2 % Ihrer fälligen Wiederholungen erinnert haben. Die Bewertung 5 bedeutet, dass die Antwort leicht fiel und das Intervall hätte länger sein dürfen; nur mit ihr verlängert das Netz Ihre Intervalle. Ohne sie bleiben die Intervalle ungefähr so lang, wie sie sind, und Sie wiederholen öfter als nötig.</translation>
    </message>
    <message>
        <source>Reviews due in the next 30 days</source>
        <translation>Fällige Wiederholungen der nächsten 30 Tage</translation>
    </message>
    <message>
        <source>days from today</source>
        <translation>Tage ab heute</translation>
    </message>
    <message>
        <source>items</source>
        <translation>Karten</translation>
    </message>
    <message>
        <source>Reviews due in the next 365 days</source>
        <translation>Fällige Wiederholungen der nächsten 365 Tage</translation>
    </message>
    <message>
        <source>Due</source>
        <translation>Fälligkeit</translation>
    </message>
    <message>
        <source>Reviews done per day</source>
        <translation>Wiederholungen pro Tag</translation>
    </message>
    <message>
        <source>days since the first review</source>
        <translation>Tage seit der ersten Wiederholung</translation>
    </message>
    <message>
        <source>grades</source>
        <translation>Bewertungen</translation>
    </message>
    <message>
        <source>Reviews</source>
        <translation>Wiederholungen</translation>
    </message>
    <message>
        <source>Retention by interval (days)</source>
        <translation>Behaltensquote nach Intervall (Tage)</translation>
    </message>
    <message>
        <source>grades of 3 or more</source>
        <translation>Bewertungen ab 3</translation>
    </message>
    <message>
        <source>share</source>
        <translation>Anteil</translation>
    </message>
    <message>
        <source>Retention by week</source>
        <translation>Behaltensquote nach Woche</translation>
    </message>
    <message>
        <source>weeks since the first review</source>
        <translation>Wochen seit der ersten Wiederholung</translation>
    </message>
    <message>
        <source>Retention</source>
        <translation>Behaltensquote</translation>
    </message>
    <message>
        <source>Items by interval (days)</source>
        <translation>Karten nach Intervall (Tage)</translation>
    </message>
    <message>
        <source>Items by repetitions</source>
        <translation>Karten nach Wiederholungen</translation>
    </message>
    <message>
        <source>Intervals</source>
        <translation>Intervalle</translation>
    </message>
    <message>
        <source>Network</source>
        <translation>Netz</translation>
    </message>
    <message>
        <source>The network&apos;s TestError: how far its intervals miss your grades (lower is better)</source>
        <translation>TestError des Netzes: wie weit seine Intervalle Ihre Bewertungen verfehlen (kleiner ist besser)</translation>
    </message>
    <message>
        <source>Fewer than %1 % of the items you recalled were recalled again when they next came due, so the intervals after a recall are now %2 % of what the network proposes. They grow back as you recall more of them.</source>
        <translation>Von den Einträgen, an die Sie sich erinnert haben, wussten Sie bei ihrer nächsten Fälligkeit weniger als %1 %; deshalb sind die Intervalle nach einer gewussten Antwort jetzt %2 % dessen, was das Netz vorschlägt. Sie wachsen wieder, sobald Sie mehr davon wissen.</translation>
    </message>
</context>
<context>
    <name>sync_watch</name>
    <message>
        <source>Sync Folder</source>
        <translation>Sync-Ordner</translation>
    </message>
    <message>
        <source>The sync folder cannot be read:
%1

Changes made here are not shared until it can be; choose another in the Settings.</source>
        <translation>Der Sync-Ordner kann nicht gelesen werden:
%1

Änderungen von hier werden erst geteilt, wenn er wieder lesbar ist; wählen Sie in den Einstellungen einen anderen.</translation>
    </message>
    <message>
        <source>The record of which items are shared could not be read; it was made again from the sync folder. Items whose texts here differ from the folder&apos;s keep them as a conflict (Browse Items, &quot;Conflicts...&quot;).</source>
        <translation>Die Aufzeichnung, welche Karten geteilt sind, konnte nicht gelesen werden; sie wurde aus dem Sync-Ordner neu erstellt. Karten, deren Texte hier von denen des Ordners abweichen, behalten sie als Konflikt (Karten durchsuchen, „Konflikte...“).</translation>
    </message>
    <message numerus="yes">
        <source>Changes from other computers: %n arrived</source>
        <translation>
            <numerusform>Änderungen anderer Computer: %n eingetroffen</numerusform>
            <numerusform>Änderungen anderer Computer: %n eingetroffen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n applied</source>
        <translation>
            <numerusform>, %n übernommen</numerusform>
            <numerusform>, %n übernommen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n in conflict (kept in sync-conflicts.txt in the data directory)</source>
        <translation>
            <numerusform>, %n im Konflikt (in sync-conflicts.txt im Datenverzeichnis aufbewahrt)</numerusform>
            <numerusform>, %n im Konflikt (in sync-conflicts.txt im Datenverzeichnis aufbewahrt)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n waiting for earlier ones</source>
        <translation>
            <numerusform>, %n warten auf frühere</numerusform>
            <numerusform>, %n warten auf frühere</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n items of this computer shared</source>
        <translation>
            <numerusform>, %n Karte dieses Computers geteilt</numerusform>
            <numerusform>, %n Karten dieses Computers geteilt</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>; conflict copies of logs made by the sync service: %n</source>
        <translation>
            <numerusform>; Konfliktkopien von Protokollen durch den Sync-Dienst: %n</numerusform>
            <numerusform>; Konfliktkopien von Protokollen durch den Sync-Dienst: %n</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>; damaged logs, read up to the damage: %n</source>
        <translation>
            <numerusform>; beschädigte Protokolle, bis zur Beschädigung gelesen: %n</numerusform>
            <numerusform>; beschädigte Protokolle, bis zur Beschädigung gelesen: %n</numerusform>
        </translation>
    </message>
    <message>
        <source>Changes from other computers</source>
        <translation>Änderungen anderer Computer</translation>
    </message>
    <message>
        <source>Changes from Other Computers</source>
        <translation>Änderungen anderer Computer</translation>
    </message>
    <message numerus="yes">
        <source>%n changes from other computers</source>
        <translation>
            <numerusform>%n Änderung anderer Computer</numerusform>
            <numerusform>%n Änderungen anderer Computer</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n items of this computer shared</source>
        <translation>
            <numerusform>%n Karte dieses Computers geteilt</numerusform>
            <numerusform>%n Karten dieses Computers geteilt</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n conflicts</source>
        <translation>
            <numerusform>, %n Konflikt</numerusform>
            <numerusform>, %n Konflikte</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n waiting</source>
        <translation>
            <numerusform>, %n wartend</numerusform>
            <numerusform>, %n wartend</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n logs to look at</source>
        <translation>
            <numerusform>, %n Protokoll zu prüfen</numerusform>
            <numerusform>, %n Protokolle zu prüfen</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>text_cell_delegate</name>
    <message>
        <source>Ctrl+Return stores, Escape drops the edit</source>
        <translation>Strg+Eingabe speichert, Esc verwirft die Änderung</translation>
    </message>
</context>
<context>
    <name>window_state</name>
    <message>
        <source>Save in Another Folder...</source>
        <translation>In einem anderen Ordner speichern...</translation>
    </message>
    <message>
        <source>Close Without Saving</source>
        <translation>Schließen ohne zu speichern</translation>
    </message>
</context>
</TS>
