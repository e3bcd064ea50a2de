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
    };
    return commands;
}

}  // namespace cli
