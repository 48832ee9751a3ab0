<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>browser_model</name>
    <message numerus="yes">
        <source>in %Ln days</source>
        <translation>
            <numerusform>in %Ln day</numerusform>
            <numerusform>in %Ln days</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln days overdue</source>
        <translation>
            <numerusform>%Ln day overdue</numerusform>
            <numerusform>%Ln days overdue</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>browser_window</name>
    <message numerus="yes">
        <source>%1 of %Ln items</source>
        <translation>
            <numerusform>%1 of %Ln item</numerusform>
            <numerusform>%1 of %Ln items</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Delete the %n selected items?</source>
        <translation>
            <numerusform>Delete the selected item?</numerusform>
            <numerusform>Delete the %n selected items?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Forget the schedule of %n selected items? They start again as new items.</source>
        <translation>
            <numerusform>Forget the schedule of the selected item? It starts again as a new item.</numerusform>
            <numerusform>Forget the schedule of %n selected items? They start again as new items.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Move the %n selected items to:</source>
        <translation>
            <numerusform>Move the selected item to:</numerusform>
            <numerusform>Move the %n selected items to:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>&quot;%1&quot; cannot be deleted while it holds items: %n items are in it or in its subcategories. Move or delete them first.</source>
        <translation>
            <numerusform>&quot;%1&quot; cannot be deleted while it holds items: %n item is in it or in its subcategories. Move or delete it first.</numerusform>
            <numerusform>&quot;%1&quot; cannot be deleted while it holds items: %n items are in it or in its subcategories. Move or delete them first.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Delete the category &quot;%1&quot; and the %n empty categories below it?</source>
        <translation>
            <numerusform>Delete the category &quot;%1&quot; and the empty category below it?</numerusform>
            <numerusform>Delete the category &quot;%1&quot; and the %n empty categories below it?</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>category_selection_dialog</name>
    <message numerus="yes">
        <source>%1: %2 due, %3 queued, %Ln items</source>
        <translation>
            <numerusform>%1: %2 due, %3 queued, %Ln item</numerusform>
            <numerusform>%1: %2 due, %3 queued, %Ln items</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>data_safety</name>
    <message numerus="yes">
        <source>%n items</source>
        <translation>
            <numerusform>%n item</numerusform>
            <numerusform>%n items</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>exchange_dialogs</name>
    <message numerus="yes">
        <source>%n items written to %1.</source>
        <translation>
            <numerusform>%n item written to %1.</numerusform>
            <numerusform>%n items written to %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source> %n categories have names a text file cannot hold as they are (&quot;::&quot; in one name and &quot;/&quot; in another, or a blank at either end of a name): read back, their items go to other categories. An XML export keeps them.</source>
        <translation>
            <numerusform> %n category has names a text file cannot hold as they are (&quot;::&quot; in one name and &quot;/&quot; in another, or a blank at either end of a name): read back, its items go to other categories. An XML export keeps them.</numerusform>
            <numerusform> %n categories have names a text file cannot hold as they are (&quot;::&quot; in one name and &quot;/&quot; in another, or a blank at either end of a name): read back, their items go to other categories. An XML export keeps them.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>main_window</name>
    <message numerus="yes">
        <source>Imported %n items.</source>
        <translation>
            <numerusform>Imported %n item.</numerusform>
            <numerusform>Imported %n items.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n items added to the queue</source>
        <translation>
            <numerusform>%n item added to the queue</numerusform>
            <numerusform>%n items added to the queue</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n items taken out of it</source>
        <translation>
            <numerusform>%n item taken out of it</numerusform>
            <numerusform>%n items taken out of it</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>overview_panel</name>
    <message numerus="yes">
        <source>Your collection holds %n items in the queue and none in learning yet.</source>
        <translation>
            <numerusform>Your collection holds %n item in the queue and none in learning yet.</numerusform>
            <numerusform>Your collection holds %n items in the queue and none in learning yet.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Your collection holds %n items.</source>
        <translation>
            <numerusform>Your collection holds %n item.</numerusform>
            <numerusform>Your collection holds %n items.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Your collection holds %n items and %1 more in the queue.</source>
        <translation>
            <numerusform>Your collection holds %n item and %1 more in the queue.</numerusform>
            <numerusform>Your collection holds %n items and %1 more in the queue.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>statistics_window</name>
    <message numerus="yes">
        <source>No reviews were due in the last %n days.</source>
        <translation>
            <numerusform>No reviews were due in the last day.</numerusform>
            <numerusform>No reviews were due in the last %n days.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>sync_watch</name>
    <message numerus="yes">
        <source>Changes from other computers: %n arrived</source>
        <translation>
            <numerusform>Changes from other computers: %n arrived</numerusform>
            <numerusform>Changes from other computers: %n arrived</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n applied</source>
        <translation>
            <numerusform>, %n applied</numerusform>
            <numerusform>, %n applied</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n in conflict (kept in sync-conflicts.txt in the data directory)</source>
        <translation>
            <numerusform>, %n in conflict (kept in sync-conflicts.txt in the data directory)</numerusform>
            <numerusform>, %n in conflict (kept in sync-conflicts.txt in the data directory)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n waiting for earlier ones</source>
        <translation>
            <numerusform>, %n waiting for earlier ones</numerusform>
            <numerusform>, %n waiting for earlier ones</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n items of this computer shared</source>
        <translation>
            <numerusform>, %n item of this computer shared</numerusform>
            <numerusform>, %n items of this computer shared</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>; conflict copies of logs made by the sync service: %n</source>
        <translation>
            <numerusform>; conflict copies of logs made by the sync service: %n</numerusform>
            <numerusform>; conflict copies of logs made by the sync service: %n</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>; damaged logs, read up to the damage: %n</source>
        <translation>
            <numerusform>; damaged logs, read up to the damage: %n</numerusform>
            <numerusform>; damaged logs, read up to the damage: %n</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n changes from other computers</source>
        <translation>
            <numerusform>%n change from other computers</numerusform>
            <numerusform>%n changes from other computers</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n items of this computer shared</source>
        <translation>
            <numerusform>%n item of this computer shared</numerusform>
            <numerusform>%n items of this computer shared</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n conflicts</source>
        <translation>
            <numerusform>, %n conflict</numerusform>
            <numerusform>, %n conflicts</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n waiting</source>
        <translation>
            <numerusform>, %n waiting</numerusform>
            <numerusform>, %n waiting</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n logs to look at</source>
        <translation>
            <numerusform>, %n log to look at</numerusform>
            <numerusform>, %n logs to look at</numerusform>
        </translation>
    </message>
</context>
</TS>
