#pragma once

#include <QString>

namespace tarvex::app {

// Messages and texts of the program that the language box chooses: Russian
// and English, in one table so that a translator finds them all together.
enum class Text {
    ValueTooLarge,
    BackupFailed,
    GoOnWithoutBackup,
    FuelUnstored,
    IgnitionUnstored,
    MapFileTooLarge,
    MapFileCannotOpen,
    MapFileLineCount,
    MapFileBadLine,
    FirmwareDone,
    FirmwareLoaderSilent,
    FirmwareLoaderNotReady,
    FirmwareTooManyRejected,
    FirmwareNoAnswer,
    FirmwareUnexpectedAnswers,
    FirmwareNotAFile,
    // Range editing on the map pages.
    MenuCopy,
    MenuPaste,
    MenuUndo,
    MenuRedo,
    MenuSetValue,
    MenuAdd,
    MenuScale,
    MenuInterpolateRows,
    MenuInterpolateColumns,
    MenuInterpolateBoth,
    MenuSmooth,
    MenuIncrement,
    MenuDecrement,
    AskSetValue,
    AskAdd,
    AskScale,
    CellHoldsNoNumber,
    CellOutOfRange,
    PasteNotANumber,
    PasteDoesNotFit,
    WritingCells,
    CancelBatch,
    // Seeing the maps: the surface and the comparison with a file.
    Menu3D,
    MenuCompare,
    MenuEndCompare,
    MapNameFuel,
    MapNameIgnition,
    SurfaceTitle,
    SurfaceSpeedAxis,
    SurfaceLoadAxis,
    CompareTitle,
    CompareCell,
    CompareRow,
    CompareSpeed,
    CompareEcu,
    CompareFile,
    CompareCount,
    CompareSame,
    CompareWriteSelected,
    CompareWriteAll,
    CompareClose,
    CompareNeedsEditing,
    BackupDiffers,
    // Tuning from a log in tarvex-logview.
    ViewPlots,
    ViewCells,
    ViewScatter,
    SensorLabel,
    SensorWide,
    SensorNarrow,
    SensorGuessed,
    SensorChosen,
    ShowLabel,
    ShowRecords,
    ShowLambda,
    ShowSuggestion,
    FilterCoolant,
    FilterThrottle,
    FilterOverrun,
    FilterMinRecords,
    FilterRange,
    TargetAfr,
    TargetMap,
    TargetOneValue,
    MaxChange,
    CurrentMap,
    CurrentMapFrom,
    CurrentMapNone,
    SaveSuggestion,
    NarrowNoSuggestion,
    AnalysisSummary,
    TipCell,
    TipRecords,
    TipMeans,
    TipAfr,
    TipRich,
    TipCurrent,
    TipSuggested,
    SuggestionSaved,
    ScatterSpeed,
    ScatterLoad,
    ScatterRecord,
    // A pulled cable.
    WaitingForAdapter,
    // One truth per map: its page's status, refusals, the read-back and the
    // difference report after connecting.
    PageUnstored,
    PageStored,
    PageNotRead,
    NoteStoring,
    NoteHistoryEnded,
    DifferenceTitle,
    DifferenceText,
    DifferenceRewrite,
    DifferenceTakeEcu,
    DifferenceLeave,
    CompareWindowColumn,
    CompareWindowValues,
    ReadBackFailed,
    CellsMissing,
    CellMissingItem,
    AndMore,
    TemplateOverUnstored,
    FileLoadProgress,
    FileLoaded,
    FileLoadedMissing,
    FileLoadCancelled,
    MapFileOutOfRange,
    // Serial adapters on Linux: refused opens, the ECU after a replug, no
    // live data.
    PortNoPermission,
    PortNoPermissionLogInAgain,
    PortNoPermissionUnknownGroup,
    PortHeldBy,
    PortHeldByUnknown,
    PortProberHint,
    OtherEcuAnswered,
    EcuSilentAfterReplug,
    NoLiveData,
    Count
};

struct TextRow {
    Text id;
    const char *russian;
    const char *english;
};

// Every row, in the order of Text.
const TextRow *textTable();

// The language of these texts for a language box index: 1 is English, any
// other index (also none selected) Russian.
bool englishTexts(int languageIndex);
QString runTimeText(Text id, int languageIndex);

} // namespace tarvex::app
