// German resources ("deu").
#include "ui/logic/string_table.h"

namespace qm::ui {
namespace {

using enum StringId;

constexpr StringTable::Entry kEntries[] = {
    {ModuleNameHeader, "Modulname"},
    {Version, "Version"},
    {MenuHeader, "Menü"},
    {EventHeader, "Ereignis"},
    {AutostartHeader, "Autostart"},
    {DemandLoadHeader, "Bei Bedarf laden"},
    {Unloaded, "NICHT GELADEN"},
    {Loaded, "GELADEN"},
    {EventLoad, "Laden"},
    {EventUnload, "Entladen"},
    {EventLoadMenu, "Menü laden"},
    {EventUnloadMenu, "Menü entladen"},
    {EventHeaderTip, "Modul laden / entladen"},
    {MenuHeaderTip,
     "Zustand des Menüs: Geladen / Nicht geladen / Nicht verfügbar - die Menüdatei fehlt"},
    {StartupHeader, "Start"},
    {StartupHeaderTip, "Startoptionen des CAD-Programms"},
    {NoAction, "Keine Aktion"},
    {LoadMenuOnly, "Nur Menü laden"},
    {NoModules,
     "Die Konfigurationsdateien des Modulladers konnten nicht aus \"%s/Zadod/Modules\" "
     "gelesen werden."},
    {Welcome,
     "Bitte wählen Sie die Module aus, die Sie in Ihrer Quillmont-Installation verwenden.\n\n"
     "Module, die Sie nicht verwenden möchten, können Sie bedenkenlos abwählen.\n\n"
     "Sie können diese Einstellung jederzeit im Modullader ändern,\n"
     "über die Schaltfläche Optionen."},
    {LoadModule, "Modul laden"},
    {UnloadModule, "Modul entladen"},

    {AutostartHeaderTip,
     "Mit dieser Option wird das Menü des Moduls beim Start des CAD-Programms "
     "automatisch geladen."},
    {DemandLoadHeaderTip,
     "Mit dieser Option wird das Modul mit dem CAD-Programm bereitgestellt, aber nicht gestartet."},
    {ApplyFailure, "Modul <%s> mit Schlüssel %s fehlgeschlagen!\nVorgang: %s\n"},
    {ApplyLabelLoadModule, "Modul laden (Menü und Programme)"},
    {ApplyLabelUnloadModule, "Modul entladen"},
    {ApplyLabelLoadMenu, "Menü laden"},
    {ApplyLabelUnloadMenu, "Menü entladen"},
    {ApplyTooManyErrors, "\nZu viele Fehler. Es werden nicht alle Fehler angezeigt!"},
    {OptionsInternalError, "Interner Fehler. Bitte erneut versuchen."},
    {NeedsGuiHost,
     "Der Dialog des Modulladers braucht den grafischen Host (cadhost ohne --console starten)."},
    {DialogsNotLoaded, "Die Dialoge des Modulladers können nicht geladen werden."},

    {LoaderCaption, "Quillmont Modullader"},
    {LoaderGrid, "Tabelle"},
    {LoaderLoad, "Laden"},
    {LoaderUnload, "Entladen"},
    {LoaderProductName, "Produktname"},
    {LoaderProducts, "CAD-Produkte"},
    {LoaderOptions, "Optionen..."},
    {ButtonOk, "OK"},
    {LoaderApply, "Übernehmen"},
    {ButtonCancel, "Abbrechen"},
    {ButtonHelp, "Hilfe"},
    {OptionsCaption, "Optionen"},
    {OptionsGroup, " Verfügbare Module "},
    {OptionsRefresh, "Aktualisieren"},
    {OptionsPleaseWait, "Bitte warten..."},
    {OptionsVersion, "Version"},
    {MenuLoad, "Laden\tStrg+L"},
    {MenuUnload, "Entladen\tStrg+U"},
    {MenuNoAction, "Keine Aktion\tStrg+N"},
    {MenuLoadMenuOnly, "Nur Menü laden\tStrg+M"},
    {MenuLoadModule, "Modul laden\tStrg+I"},
};

constexpr StringTable kTable{"deu", kEntries};

}  // namespace

const StringTable& germanStrings() {
    return kTable;
}

}  // namespace qm::ui
