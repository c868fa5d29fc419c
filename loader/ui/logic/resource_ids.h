#pragma once
// Numbers of the module loader's resources: strings, bitmaps, icons, dialog templates, menus,
// the accelerator table, control and command ids. The numbers are the resource file's; code
// names every resource through these constants, never through a bare number.
namespace qm::ui {

// Strings. Values below 60000 are entries of the numbered string table. Values from 60000 on
// name texts that live in dialog templates and menus (language-specific like the table, but
// without a number of their own) or texts the dialogs build messages from.
enum class StringId : int {
    ModuleNameHeader = 6001,
    Version = 6002,
    MenuHeader = 6003,
    EventHeader = 6005,
    AutostartHeader = 6006,
    DemandLoadHeader = 6007,
    Unloaded = 6010,
    Loaded = 6011,
    EventLoad = 6017,
    EventUnload = 6018,
    EventLoadMenu = 6019,
    EventUnloadMenu = 6020,
    EventHeaderTip = 6024,
    MenuHeaderTip = 6026,
    StartupHeader = 6031,
    StartupHeaderTip = 6032,
    NoAction = 6033,
    LoadMenuOnly = 6034,
    NoModules = 6041,
    Welcome = 6047,
    LoadModule = 6200,
    UnloadModule = 6201,

    // Header tooltips of the hidden columns.
    AutostartHeaderTip = 60001,
    DemandLoadHeaderTip,
    // Apply: one paragraph per failed event, the labels of the events, the overflow line.
    ApplyFailure,
    ApplyLabelLoadModule,
    ApplyLabelUnloadModule,
    ApplyLabelLoadMenu,
    ApplyLabelUnloadMenu,
    ApplyTooManyErrors,
    // The Options list's only item after a failed fill.
    OptionsInternalError,
    // The console host's answer to the command.
    NeedsGuiHost,
    // The command's answer when the dialogs' module cannot be loaded.
    DialogsNotLoaded,

    // Dialog template 6000.
    LoaderCaption,
    LoaderGrid,
    LoaderLoad,
    LoaderUnload,
    LoaderProductName,
    LoaderProducts,
    LoaderOptions,
    ButtonOk,
    LoaderApply,
    ButtonCancel,
    ButtonHelp,
    // Dialog template 6062.
    OptionsCaption,
    OptionsGroup,
    OptionsRefresh,
    OptionsPleaseWait,
    OptionsVersion,
    // Menu 6009.
    MenuLoad,
    MenuUnload,
    MenuNoAction,
    MenuLoadMenuOnly,
    MenuLoadModule,
};

inline constexpr int kDialogModuleLoader = 6000;
inline constexpr int kDialogOptions = 6062;
inline constexpr int kMenuGridContext = 6009;
inline constexpr int kAcceleratorTable = 205;

// Bitmaps (16 x 16 on white) and icons.
inline constexpr int kBitmapNoAction = 6051;
inline constexpr int kBitmapLoadMenuOnly = 6036;
inline constexpr int kBitmapLoadModule = 6037;
inline constexpr int kIconLarge = 6060;
inline constexpr int kIconSmall = 6061;

// Control ids of template 6000.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancelButton = 8;  // the loader's Cancel button; Escape sends kIdCancel
inline constexpr int kIdCancel = 2;
inline constexpr int kIdHelp = 9;
inline constexpr int kIdGrid = 201;
inline constexpr int kIdLoad = 6007;
inline constexpr int kIdUnload = 6013;
inline constexpr int kIdStartNoAction = 6019;
inline constexpr int kIdStartLoadMenuOnly = 6020;
inline constexpr int kIdStartLoadModule = 6021;
inline constexpr int kIdApply = 6059;
inline constexpr int kIdOptions = 6100;
inline constexpr int kIdProductName = 6107;
inline constexpr int kIdProducts = 6108;
// Control ids of template 6062.
inline constexpr int kIdModuleList = 6063;
inline constexpr int kIdRefresh = 6105;
inline constexpr int kIdPleaseWait = 6106;
inline constexpr int kIdVersion = 6110;

// Commands of the grid's context menu and accelerator table.
inline constexpr int kCmdLoad = 6011;
inline constexpr int kCmdUnload = 6012;
inline constexpr int kCmdNoAction = 6047;
inline constexpr int kCmdLoadMenuOnly = 6045;
inline constexpr int kCmdLoadModule = 6046;
inline constexpr int kCmdNothing = 32768;

}  // namespace qm::ui
