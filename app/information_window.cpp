#include "app/information_window.h"

#include "app/app.h"
#include "ui/toolkit.h"

namespace app {
namespace {

constexpr unsigned InformationWindowFlags = ui::WindowTitleBar | ui::WindowScreenCentred;

// The router's web interface, as the user types it into the browser.
#define NW_ROUTER_ADDRESS u"\"http://fritz.box\""

// The expat licence as its COPYING file gives it, the first paragraph
// re-broken into five lines.
const char16_t* const Lines[] = {
    u"Getestet mit FRITZ!Box 7590. Telefonbücher ohne Bilder.",
    u"",
    u"  1. Telefonbücher auslesen. " NW_ROUTER_ADDRESS u"  >>  \"Telefonie\"  >>  \"Telefonbuch\"  >>  \"Sichern\".",
    u"  2. Mit \"Nummernwerk\" Kontakte zwischen 2 Telefonbüchern verschieben.",
    u"  3. Telefonbücher einlesen. " NW_ROUTER_ADDRESS
    u"  >>  \"Telefonie\"  >>  \"Telefonbuch\"  >>  \"Wiederherstellen\".",
    u"",
    u"Das Programm verändert die ausgelesenen Telefonbücher nicht.",
    u"Beim 'Laden' wird eine formatierte Telefonbuch-Version mit dem Zusatz '_Formatiert.xml' gespeichert.",
    u"Beim 'Speichern' wird der Zusatz '_NEU.xml' am Dateinamen angehängt.",
    u"",
    u"Vor dem Speichern kann der 'Name' und die 'Datei' abgeändert werden.",
    u"Nur ausgewählte Kontakte (Häkchen-Box) werden kopiert, verschoben oder gelöscht.",
    u"Mit 'A+' oder 'A-' kann bei alle markierten Kontakten die Auswahl gesetzt oder gelöscht werden.",
    u"Die Spalte 'Nr.' dient nur zur internen Verwaltung. Die Spalte 'ID' ist die Kontakt-Nummer im Telefonbuch.",
    u"",
    u"Sind im Telefonbuch Daten vorhanden die nicht gelesen werden, wird dies beim Laden angezeigt.",
    u"In den Listen werden nicht alle Kontakt-Daten angezeigt. Sie dienen nur zur Auswahl der Kontakte.",
    u"",
    u"Copyright (c) 2026 Nummernwerk-Entwickler",
    u"_________________________________________________________________________________",
    u"",
    u"License for the expat XML parser",
    u"",
    u"Copyright (c) 1998-2000 Thai Open Source Software Center Ltd and Clark Cooper",
    u"Copyright (c) 2001-2022 Expat maintainers",
    u"",
    u"Permission is hereby granted, free of charge, to any person obtaining a copy of this software",
    u"and associated documentation files (the \"Software\"), to deal in the Software without restriction,",
    u"including without limitation the rights to use, copy, modify, merge, publish, distribute, sublicense,",
    u"and/or sell copies of the Software, and to permit persons to whom the Software is furnished to do so,",
    u"subject to the following conditions:",
    u"",
    u"The above copyright notice and this permission notice shall be included",
    u"in all copies or substantial portions of the Software.",
    u"",
    u"THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT WARRANTY OF ANY KIND,",
    u"EXPRESS OR IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF",
    u"MERCHANTABILITY, FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT.",
    u"IN NO EVENT SHALL THE AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY",
    u"CLAIM, DAMAGES OR OTHER LIABILITY, WHETHER IN AN ACTION OF CONTRACT,",
    u"TORT OR OTHERWISE, ARISING FROM, OUT OF OR IN CONNECTION WITH THE",
    u"SOFTWARE OR THE USE OR OTHER DEALINGS IN THE SOFTWARE.",
    u"",
};

#undef NW_ROUTER_ADDRESS

}  // namespace

const std::vector<std::u16string>& InformationLines()
{
    static const std::vector<std::u16string> lines(std::begin(Lines), std::end(Lines));
    return lines;
}

void BuildInformationWindow(int owner, std::int32_t toolTipSetting)
{
    if (!ui::OpenWindow(InformationWindow, 0, 0, InformationWindowWidth, InformationWindowHeight,
                        u"Nummernwerk - Information", InformationWindowFlags, owner))
        return;

    ui::TextLabel(InformationHeading, 10, 10, 600, 30, u"Nummernwerk", ui::LabelCentred);
    ui::SetWidgetFont(InformationHeading, HeadingFont);
    ui::SetWidgetColour(InformationHeading, ui::ColourText, ui::Rgb(255, 0, 0));

    ui::TextEditor(InformationText, 10, 40, 600, 350, ui::EditorReadOnly);
    ui::SetWidgetFont(InformationText, ListFont);
    for (const std::u16string& line : InformationLines())
        ui::AddItem(InformationText, -1, line);

    ui::CheckBox(ToolTipCheckBox, 125, 400, 370, 30, u" ToolTip ab nächstem Programmstart Ein-/Ausschalten");
    ui::SetWidgetFont(ToolTipCheckBox, NormalFont);
    ui::SetState(ToolTipCheckBox, toolTipSetting != 0 ? 1 : 0);

    ui::Button(CloseInformationButton, 250, 450, 120, 30, u"Schliessen");
    ui::SetWidgetFont(CloseInformationButton, NormalFont);
}

}  // namespace app
