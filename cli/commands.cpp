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
        {"set", "Einen Kontakt ändern wie mit 'Bearbeiten…' und speichern wie 'Speichern'",
         "NR ist die Nr. aus 'list'. Nur die angegebenen Felder ändern sich: --number ersetzt\n"
         "alle Rufnummern (die erste wird Hauptnummer), --email alle E-Mail-Adressen. Eine\n"
         "Rufnummer oder Adresse, die der Kontakt schon hat, behält Kurzwahl, Vanity-Nummer\n"
         "und ID; was der Dialog nicht zeigt, bleibt, wie es ist. Geprüft wird wie im Dialog:\n"
         "Befunde stehen auf der Fehlerausgabe wie bei 'check'. Bei einem Fehler (mehr als 9\n"
         "Rufnummern, eine Kurzwahl oder Vanity-Nummer eines anderen Kontakts, Zeichen, die\n"
         "XML nicht fassen kann) wird nichts geschrieben: Exit-Status 4.\n\n"
         "TYP: home, mobile, work, fax_work, intern, memo, other oder Privat, Mobil,\n"
         "Geschäftlich, 'Fax geschäftlich', Intern, Notiz, Sonstige (gleich, ob groß oder\n"
         "klein geschrieben). ART: private, work, other oder Privat, Geschäftlich,\n"
         "Sonstige; ohne ART behält eine Adresse ihre Art, eine neue wird private.\n\n"
         "Beispiele:\n"
         "  nummernwerk-cli set Telefonbuch.xml 14 --name 'Käthe Schäfer' -o Neu.xml\n"
         "  nummernwerk-cli set Telefonbuch.xml 14 --number 'Mobil:0170 1234567' \\\n"
         "      --number 'Privat:089 5550103' --email arbeit@example.de --vip -o Neu.xml\n",
         SetUpSet},
        {"add", "Einen Kontakt anhängen wie mit 'Neuer Kontakt…' und speichern wie 'Speichern'",
         "Der Kontakt kommt ans Ende des Telefonbuchs, so wie die FRITZ!Box einen schreibt,\n"
         "mit der nächsten freien uniqueid; die erste Rufnummer wird Hauptnummer. Geprüft\n"
         "wird wie bei 'set': bei einem Fehler wird nichts geschrieben, Exit-Status 4.\n"
         "TYP und ART wie bei 'set'.\n\n"
         "Beispiele:\n"
         "  nummernwerk-cli add Telefonbuch.xml --name 'Erika Muster' \\\n"
         "      --number 'mobile:0170 7654321' --number 'work:030 5550199' -o Neu.xml\n"
         "  nummernwerk-cli add Telefonbuch.xml --name Pizza --number 'home:030 5550111' -o - | less\n",
         SetUpAdd},
    };
    return commands;
}

}  // namespace cli
