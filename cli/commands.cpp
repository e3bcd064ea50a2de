// The command table: one entry per command.
#include "cli/command.h"

namespace cli {

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands = {
        {"list", "Die Kontakte eines Telefonbuchs zeigen, wie 'Laden' sie listet",
         "Beispiele:\n"
         "  nummernwerk-cli list Telefonbuch.xml\n"
         "  nummernwerk-cli list --json Telefonbuch.xml > kontakte.json\n",
         SetUpList},
        {"format", "Die formatierte Kopie schreiben, die 'Laden' als _Formatiert.xml schreibt",
         "Beispiele:\n"
         "  nummernwerk-cli format Telefonbuch.xml -o Telefonbuch_Formatiert.xml\n"
         "  nummernwerk-cli format Telefonbuch.xml | less\n",
         SetUpFormat},
        {"merge", "Die Kontakte der QUELLEn an ZIEL anhängen und speichern wie 'Speichern'",
         "Das Ergebnis gleicht Byte für Byte dem, was Nummernwerk nach 'Laden' von ZIEL,\n"
         "'Laden' jeder QUELLE im anderen Fenster, 'Kopieren' aller ihrer Kontakte und\n"
         "'Speichern' schreibt.\n\n"
         "Beispiele:\n"
         "  nummernwerk-cli merge Buero.xml Familie.xml -o Gesamt.xml\n"
         "  nummernwerk-cli merge Buero.xml Familie.xml Verein.xml --name Alle -o Alle.xml\n",
         SetUpMerge},
        {"check", "Prüfen, was die FRITZ!Box beim Wiederherstellen ablehnen oder ändern würde",
         "Je Befund eine Zeile DATEI: SCHWERE CODE NR. NAME: TEXT (SCHWERE: error, warning\n"
         "oder info; NR. und NAME bei Befunden zu einem Kontakt). Mit --json je Datei ein\n"
         "JSON-Objekt auf einer eigenen Zeile, auch bei nur einer Datei.\n"
         "Exit-Status 4, wenn eine Datei einen Befund der Schwere error hat; 1 geht vor.\n\n"
         "Beispiele:\n"
         "  nummernwerk-cli check Telefonbuch.xml\n"
         "  nummernwerk-cli check --json *.xml | jq -c '.findings[] | select(.severity == \"error\")'\n"
         "  nummernwerk-cli check Telefonbuch.xml > /dev/null || echo 'Nicht wiederherstellen!'\n",
         SetUpCheck},
        {"dupes", "Dubletten in einem Telefonbuch oder zwischen zweien zeigen",
         "Je Gruppe eine Zeile ART<Tab>NAMENSSCHLÜSSEL<Tab>NUMMERNSCHLÜSSEL, dann je Kontakt\n"
         "eine Zeile '  DATEI: NR. NAME'. ART ist same-contact (derselbe Kontakt, den\n"
         "'dedupe' zusammenführt), same-number (eine Rufnummer, verschiedene Namen) oder\n"
         "same-name (ein Name, verschiedene Rufnummern).\n\n"
         "Beispiele:\n"
         "  nummernwerk-cli dupes Telefonbuch.xml\n"
         "  nummernwerk-cli dupes Buero.xml Familie.xml --json > dubletten.json\n",
         SetUpDupes},
        {"dedupe", "Jede Gruppe desselben Kontakts zusammenführen und speichern wie 'Speichern'",
         "Jede Gruppe der Art same-contact aus 'dupes' wird in ihren ersten Kontakt\n"
         "zusammengeführt wie mit 'Zusammenführen'. Eine Gruppe, die mehr als 9 Rufnummern\n"
         "ergäbe, bleibt, wie sie ist; sie und jede Kurzwahl oder Vanity-Nummer, die dabei\n"
         "wegfällt, stehen auf der Fehlerausgabe.\n\n"
         "Beispiele:\n"
         "  nummernwerk-cli dedupe Telefonbuch.xml -o Telefonbuch_bereinigt.xml\n"
         "  nummernwerk-cli dedupe Gesamt.xml -o Gesamt_bereinigt.xml 2> zusammengefuehrt.txt\n",
         SetUpDedupe},
        {"convert", "Zwischen Telefonbuch (.xml), vCard (.vcf) und CSV (.csv) umwandeln",
         "Das Format folgt der Endung. Ein Telefonbuch wird gelesen wie mit 'Laden' und\n"
         "geschrieben wie mit 'Speichern'; vCard wird als vCard 3.0, CSV in den Spalten von\n"
         "Google Kontakte geschrieben. Übersprungene Karten und Zeilen stehen als\n"
         "DATEI:ZEILE: GRUND auf der Fehlerausgabe.\n\n"
         "Beispiele:\n"
         "  nummernwerk-cli convert Telefonbuch.xml Kontakte.vcf\n"
         "  nummernwerk-cli convert Google.csv Telefonbuch.xml --name Privat\n"
         "  nummernwerk-cli convert Telefon.vcf - --format csv\n",
         SetUpConvert},
    };
    return commands;
}

}  // namespace cli
