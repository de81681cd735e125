<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>IPChangeStrings</name>
    <message>
        <source>IP address was temporarily assigned to MAC<byte value="xd"/>
To make IP change permanent you must change IP adress in device setup!</source>
        <translation>Die IP-Adresse wurde der MAC-Adresse vorübergehend zugewiesen.<byte value="xd"/>
Um die Änderung dauerhaft zu machen, müssen Sie die IP-Adresse in der Konfiguration des Geräts ändern!</translation>
    </message>
    <message>
        <source>Request of IP address change was successfully sent.</source>
        <translation>Die Anforderung zur Änderung der IP-Adresse wurde erfolgreich gesendet.</translation>
    </message>
    <message>
        <source>IP address change error.</source>
        <translation>Fehler beim Ändern der IP-Adresse.</translation>
    </message>
    <message>
        <source>IP address syntax error.<byte value="xd"/>
Write correct IP address, please.</source>
        <translation>Syntaxfehler in der IP-Adresse.<byte value="xd"/>
Bitte geben Sie eine gültige IP-Adresse ein.</translation>
    </message>
    <message>
        <source>Selected IP address already exists.</source>
        <translation>Die gewählte IP-Adresse ist bereits vergeben.</translation>
    </message>
    <message>
        <source>MAC address syntax error.</source>
        <translation>Syntaxfehler in der MAC-Adresse.</translation>
    </message>
    <message>
        <source>The new address could not be checked with a ping: this user may not open an ICMP socket and the system&apos;s ping program could not be run. Run the program as administrator, or allow ping for the user&apos;s group (sysctl net.ipv4.ping_group_range).</source>
        <translation>Die neue Adresse konnte nicht mit einem Ping geprüft werden: Dieser Benutzer darf keinen ICMP-Socket öffnen, und das Ping-Programm des Systems ließ sich nicht ausführen. Starten Sie das Programm als Administrator, oder erlauben Sie Ping für die Gruppe des Benutzers (sysctl net.ipv4.ping_group_range).</translation>
    </message>
    <message>
        <source>The ARP-table entry was not made: making it needs administrator rights. Run the program as administrator, or use the IP-SETUP way.</source>
        <translation>Der Eintrag in der ARP-Tabelle wurde nicht angelegt: Dafür sind Administratorrechte nötig. Starten Sie das Programm als Administrator, oder ändern Sie die Adresse über IP-SETUP.</translation>
    </message>
    <message>
        <source>The device was found by unicast through a router: both ways of the IP change need the device&apos;s own network segment (a broadcast and an ARP-table entry do not cross a router). Change its address from a computer on that segment.</source>
        <translation>Das Gerät wurde per Unicast über einen Router gefunden: Beide Wege der IP-Änderung brauchen das eigene Netzsegment des Geräts (ein Broadcast und ein Eintrag in der ARP-Tabelle gelangen nicht über einen Router). Ändern Sie seine Adresse von einem Computer in diesem Segment.</translation>
    </message>
</context>
<context>
    <name>TDeviceListActions</name>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>JSON (*.json)</source>
        <translation>JSON (*.json)</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Save list...</source>
        <translation>Liste speichern...</translation>
    </message>
    <message>
        <source>Copy IP address</source>
        <translation>IP-Adresse kopieren</translation>
    </message>
    <message>
        <source>Copy MAC address</source>
        <translation>MAC-Adresse kopieren</translation>
    </message>
    <message>
        <source>Open web page</source>
        <translation>Webseite öffnen</translation>
    </message>
    <message>
        <source>Open Telnet console</source>
        <translation>Telnet-Konsole öffnen</translation>
    </message>
    <message>
        <source>Save list</source>
        <translation>Liste speichern</translation>
    </message>
    <message>
        <source>The list could not be saved to %1: %2</source>
        <translation>Die Liste konnte nicht unter %1 gespeichert werden: %2</translation>
    </message>
    <message>
        <source>The web browser could not be started: %1</source>
        <translation>Der Webbrowser konnte nicht gestartet werden: %1</translation>
    </message>
    <message>
        <source>No web browser could be started for %1.</source>
        <translation>Für %1 konnte kein Webbrowser gestartet werden.</translation>
    </message>
    <message>
        <source>No Telnet client was found. Install one (Linux: the package telnet; Windows: the feature &quot;Telnet Client&quot;) or name it in QUORVET_TELNET.</source>
        <translation>Es wurde kein Telnet-Client gefunden. Installieren Sie einen (Linux: das Paket telnet; Windows: das Feature &quot;Telnet-Client&quot;) oder nennen Sie ihn in QUORVET_TELNET.</translation>
    </message>
    <message>
        <source>No terminal program was found. Install one (e.g. xterm) or name it in TERMINAL.</source>
        <translation>Es wurde kein Terminalprogramm gefunden. Installieren Sie eines (z. B. xterm) oder nennen Sie es in TERMINAL.</translation>
    </message>
    <message>
        <source>The Telnet console could not be started: %1</source>
        <translation>Die Telnet-Konsole konnte nicht gestartet werden: %1</translation>
    </message>
</context>
<context>
    <name>TXPortIPChangeLangSupport</name>
    <message>
        <source>Change IP address</source>
        <translation>IP-Adresse ändern</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Ändern</translation>
    </message>
    <message>
        <source>Set IP address to ARP table only</source>
        <translation>IP-Adresse nur in die ARP-Tabelle eintragen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>IP address:</source>
        <translation>IP-Adresse:</translation>
    </message>
    <message>
        <source>MAC address</source>
        <translation>MAC-Adresse</translation>
    </message>
</context>
<context>
    <name>TXPortSearchLangSupport</name>
    <message>
        <source>Find device</source>
        <translation>Gerät suchen</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Help! My device wasn&apos;t found!</source>
        <translation>Hilfe! Mein Gerät wurde nicht gefunden!</translation>
    </message>
    <message>
        <source>Change IP</source>
        <translation>IP ändern</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>Auswählen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>IP address</source>
        <translation>IP-Adresse</translation>
    </message>
    <message>
        <source>MAC address</source>
        <translation>MAC-Adresse</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>Device type</source>
        <translation>Gerätetyp</translation>
    </message>
    <message>
        <source>Device description</source>
        <translation>Gerätebeschreibung</translation>
    </message>
</context>
<context>
    <name>TfMain</name>
    <message>
        <source>Quorvet utility</source>
        <translation>Quorvet utility</translation>
    </message>
    <message>
        <source>IP address</source>
        <translation>IP-Adresse</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Searching device...</source>
        <translation>Gerät wird gesucht...</translation>
    </message>
    <message>
        <source>Canceled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>- [Device: %1]</source>
        <translation>- [Gerät: %1]</translation>
    </message>
</context>
<context>
    <name>TfSearchTargets</name>
    <message>
        <source>Line %1: %2</source>
        <translation>Zeile %1: %2</translation>
    </message>
    <message>
        <source>Search targets</source>
        <translation>Suchziele</translation>
    </message>
    <message>
        <source>Devices behind a router do not hear the search&apos;s broadcast. Give their addresses, one or more per line, and the search also asks them one by one:
an address (10.30.1.7), a range (10.20.0.10-10.20.0.40) or a network up to /22 (10.20.0.0/24), at most 4096 addresses.</source>
        <translation>Geräte hinter einem Router hören den Broadcast der Suche nicht. Geben Sie ihre Adressen an, eine oder mehrere pro Zeile, dann fragt die Suche sie auch einzeln ab:
eine Adresse (10.30.1.7), einen Bereich (10.20.0.10-10.20.0.40) oder ein Netz bis /22 (10.20.0.0/24), höchstens 4096 Adressen.</translation>
    </message>
</context>
<context>
    <name>TfXPortIPChangeGUI</name>
    <message>
        <source>Change IP address</source>
        <translation>IP-Adresse ändern</translation>
    </message>
    <message>
        <source>IP address:</source>
        <translation>IP-Adresse:</translation>
    </message>
    <message>
        <source>MAC address</source>
        <translation>MAC-Adresse</translation>
    </message>
    <message>
        <source>Set IP address to ARP table only</source>
        <translation>IP-Adresse nur in die ARP-Tabelle eintragen</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Ändern</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>Bestätigen</translation>
    </message>
    <message>
        <source>The request names the device only by the last two octets of its MAC address (%1). Another device of the last search ends in them too and would take the new address as well:</source>
        <translation>Die Anfrage nennt das Gerät nur mit den letzten zwei Oktetten seiner MAC-Adresse (%1). Ein weiteres Gerät der letzten Suche endet ebenfalls darauf und würde die neue Adresse auch übernehmen:</translation>
    </message>
    <message>
        <source>The request names the device only by the last two octets of its MAC address (%1). Other devices of the last search end in them too and would take the new address as well:</source>
        <translation>Die Anfrage nennt das Gerät nur mit den letzten zwei Oktetten seiner MAC-Adresse (%1). Weitere Geräte der letzten Suche enden ebenfalls darauf und würden die neue Adresse auch übernehmen:</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>und %1 weitere</translation>
    </message>
    <message>
        <source>Send the request anyway?</source>
        <translation>Die Anfrage trotzdem senden?</translation>
    </message>
</context>
<context>
    <name>TfXPortSearchGUI</name>
    <message>
        <source>Adapter</source>
        <translation>Adapter</translation>
    </message>
    <message>
        <source>Zobrazit vsechny</source>
        <translation>Alle anzeigen</translation>
    </message>
    <message>
        <source>Zobrazit pouze vyrobni adresy</source>
        <translation>Nur Produktionsadressen anzeigen</translation>
    </message>
    <message>
        <source>Searching...</source>
        <translation>Suche läuft...</translation>
    </message>
    <message>
        <source>Searching on adapter %1, devices found so far: %2</source>
        <translation>Suche auf Adapter %1, bisher gefundene Geräte: %2</translation>
    </message>
    <message>
        <source>Searching on adapter %1: adapters done %2 of %3, devices read: %4</source>
        <translation>Suche auf Adapter %1: Adapter fertig %2 von %3, gelesene Geräte: %4</translation>
    </message>
    <message>
        <source>Device limit reached on adapter %1: further devices ignored.</source>
        <translation>Gerätegrenze auf Adapter %1 erreicht: weitere Geräte werden ignoriert.</translation>
    </message>
    <message>
        <source>No device found. Likely cause: %1</source>
        <translation>Kein Gerät gefunden. Wahrscheinliche Ursache: %1</translation>
    </message>
    <message>
        <source>Some devices&apos; details could not be read. Likely cause: %1</source>
        <translation>Die Angaben einiger Geräte konnten nicht gelesen werden. Wahrscheinliche Ursache: %1</translation>
    </message>
    <message>
        <source>Targets...</source>
        <translation>Ziele...</translation>
    </message>
    <message>
        <source>Addresses the search also asks by unicast (devices behind a router)</source>
        <translation>Adressen, die die Suche zusätzlich per Unicast abfragt (Geräte hinter einem Router)</translation>
    </message>
    <message>
        <source>Targets not searched: %1</source>
        <translation>Ziele nicht abgefragt: %1</translation>
    </message>
    <message>
        <source>Refresh: off</source>
        <translation>Aktualisieren: aus</translation>
    </message>
    <message>
        <source>Refresh every %1 s</source>
        <translation>Alle %1 s aktualisieren</translation>
    </message>
</context>
</TS>
