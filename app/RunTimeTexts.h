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
    // Tuning from a log: the map beside it, the lambda delay, locked cells,
    // bad lines and the plots.
    CurrentMapTrack,
    CurrentMapNoTrack,
    CurrentMapBadTrack,
    SkippedLines,
    LogBadLines,
    FilterDelay,
    FilterDelayTip,
    MenuLockCells,
    MenuUnlockCells,
    LockHint,
    TipLocked,
    TipNeed,
    TipLeftOut,
    TipSpans,
    PlotRecord,
    PlotCell,
    PlotSpeed,
    PlotCoolant,
    PlotThrottle,
    PlotLoad,
    PlotLambda,
    PlotInjection,
    PlotAdvance,
    UnitRpm,
    UnitMs,
    UnitSeconds,
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
