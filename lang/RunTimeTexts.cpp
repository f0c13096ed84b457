#include "lang/RunTimeTexts.h"

#include <array>

namespace tarvex::lang {

namespace {
constexpr std::array<TextRow, size_t(Text::Count)> kTexts = {{
    {Text::ValueTooLarge, "Значение должно быть меньше 1000", "The value must be below 1000"},
    {Text::BackupFailed, "Не удалось сохранить резервную копию карты: %1", "Could not write the backup of the map: %1"},
    {Text::GoOnWithoutBackup, "Продолжить без резервной копии?", "Go on without a backup?"},
    {Text::FuelUnstored, "Топливная карта изменена, но не сохранена в памяти ЭБУ. Сохранить её сейчас?",
     "The fuel map has changes that are not stored in the ECU. Store it now?"},
    {Text::IgnitionUnstored, "Карта УОЗ изменена, но не сохранена в памяти ЭБУ. Сохранить её сейчас?",
     "The ignition map has changes that are not stored in the ECU. Store it now?"},
    {Text::MapFileTooLarge, "Файл %1 слишком велик для карты (больше %2 байт). Файл не загружен.",
     "The file %1 is too large for a map (over %2 bytes). Nothing was loaded."},
    {Text::MapFileCannotOpen, "Не удалось открыть файл %1: %2", "Cannot open the file %1: %2"},
    {Text::MapFileLineCount, "В файле %1 строк, а в карте 256. Файл не загружен.",
     "The file has %1 lines; a map has 256. Nothing was loaded."},
    {Text::MapFileBadLine,
     "Строка %1 файла («%2») — не значение карты: от одной до трёх цифр, можно со знаком минус. Файл не загружен.",
     "Line %1 of the file (\"%2\") is not a map value: one to three digits, a minus sign allowed. Nothing was "
     "loaded."},
    {Text::FirmwareDone, "Обновление ПО завершено.", "The firmware update is complete."},
    {Text::FirmwareLoaderSilent, "Загрузчик ЭБУ не ответил на вызов. Обновление ПО не выполнено.",
     "The ECU's loader did not answer the call. The firmware was not updated."},
    {Text::FirmwareLoaderNotReady, "Загрузчик ЭБУ не сообщил о готовности. Обновление ПО не выполнено.",
     "The ECU's loader did not report that it was ready. The firmware was not updated."},
    {Text::FirmwareTooManyRejected, "ЭБУ отклонил 10 блоков. Обновление ПО прервано.",
     "The ECU rejected 10 blocks. The firmware update was stopped."},
    {Text::FirmwareNoAnswer, "ЭБУ перестал отвечать во время загрузки. Обновление ПО прервано.",
     "The ECU stopped answering during the transfer. The firmware update was stopped."},
    {Text::FirmwareUnexpectedAnswers,
     "ЭБУ 10 раз подряд ответил на блок непонятным байтом (последний 0x%1). Обновление ПО прервано.",
     "The ECU answered a block 10 times in a row with a byte that means nothing here (the last 0x%1). The "
     "firmware update was stopped."},
    {Text::FirmwareNotAFile, "%1 — не файл образа ПО.", "%1 is not a firmware image file."},
    {Text::MenuCopy, "Копировать", "Copy"},
    {Text::MenuPaste, "Вставить", "Paste"},
    {Text::MenuUndo, "Отменить", "Undo"},
    {Text::MenuRedo, "Повторить", "Redo"},
    {Text::MenuSetValue, "Задать значение…", "Set to a value…"},
    {Text::MenuAdd, "Прибавить…", "Add…"},
    {Text::MenuScale, "Изменить на процент…", "Change by a percentage…"},
    {Text::MenuInterpolateRows, "Интерполировать по строкам", "Interpolate along the rows"},
    {Text::MenuInterpolateColumns, "Интерполировать по столбцам", "Interpolate along the columns"},
    {Text::MenuInterpolateBoth, "Интерполировать от углов", "Interpolate from the corners"},
    {Text::MenuSmooth, "Сгладить", "Smooth"},
    {Text::MenuIncrement, "Увеличить на 1", "Increase by 1"},
    {Text::MenuDecrement, "Уменьшить на 1", "Decrease by 1"},
    {Text::AskSetValue, "Новое значение выделенных ячеек:", "New value of the selected cells:"},
    {Text::AskAdd, "Прибавить к выделенным ячейкам (отрицательное число вычитает):",
     "Add to the selected cells (a negative number subtracts):"},
    {Text::AskScale, "Изменить выделенные ячейки на процент (например 5 или -3,5):",
     "Change the selected cells by a percentage (for example 5 or -3.5):"},
    {Text::CellHoldsNoNumber, "В ячейке %1 (строка %2, столбец %3) нет числа. Ничего не записано.",
     "Cell %1 (row %2, column %3) holds no number. Nothing was written."},
    {Text::CellOutOfRange,
     "Ячейка %1 (строка %2, столбец %3) получила бы значение %4, а в карте допустимо от %5 до %6. Ничего не "
     "записано.",
     "Cell %1 (row %2, column %3) would become %4; the map takes %5 to %6. Nothing was written."},
    {Text::PasteNotANumber, "Строка %1, столбец %2 вставляемого текста («%3») — не целое число. Ничего не записано.",
     "Line %1, column %2 of the pasted text (\"%3\") is not a whole number. Nothing was written."},
    {Text::PasteDoesNotFit,
     "Вставляемая таблица (%1 строк, %2 столбцов) не помещается в карту от строки %3, столбца %4. Ничего не "
     "записано.",
     "The pasted table (%1 rows, %2 columns) does not fit the map from row %3, column %4. Nothing was written."},
    {Text::WritingCells, "Запись ячеек в ЭБУ…", "Writing the cells to the ECU…"},
    {Text::CancelBatch, "Прервать", "Cancel"},
    {Text::Menu3D, "3D", "3D"},
    {Text::MenuCompare, "Сравнить с файлом…", "Compare with a file…"},
    {Text::MenuEndCompare, "Закончить сравнение", "End the comparison"},
    {Text::MapNameFuel, "Топливная карта", "Fuel map"},
    {Text::MapNameIgnition, "Карта УОЗ", "Ignition map"},
    {Text::SurfaceTitle, "Tarvex — 3D: %1", "Tarvex — 3D: %1"},
    {Text::SurfaceSpeedAxis, "столбцы: обороты", "columns: engine speed"},
    {Text::SurfaceLoadAxis, "строки: нагрузка", "rows: load"},
    {Text::CompareTitle, "Tarvex — %1 и файл %2", "Tarvex — %1 and the file %2"},
    {Text::CompareCell, "Ячейка", "Cell"},
    {Text::CompareRow, "Строка", "Row"},
    {Text::CompareSpeed, "Обороты", "RPM"},
    {Text::CompareEcu, "ЭБУ", "ECU"},
    {Text::CompareFile, "Файл", "File"},
    {Text::CompareCount, "Отличается от файла ячеек: %1", "Cells that differ from the file: %1"},
    {Text::CompareSame, "Карта в ЭБУ и файл совпадают.", "The ECU's map and the file are the same."},
    {Text::CompareWriteSelected, "Записать выбранные", "Write the selected"},
    {Text::CompareWriteAll, "Записать все", "Write all"},
    {Text::CompareClose, "Закрыть", "Close"},
    {Text::CompareNeedsEditing, "Чтобы записать значения файла в ЭБУ, отметьте «Редактировать» на странице карты.",
     "To write the file's values to the ECU, tick \"Edit\" on the map's page."},
    {Text::BackupDiffers, "Отличается от прошлой копии в %1 яч. — меню: «Сравнить с файлом…»",
     "Differs from the last kept copy in %1 cells: menu, \"Compare with a file…\""},
    {Text::ViewPlots, "Графики", "Plots"},
    {Text::ViewCells, "Ячейки", "Cells"},
    {Text::ViewScatter, "Разброс", "Scatter"},
    {Text::SensorLabel, "Лямбда-зонд:", "Lambda sensor:"},
    {Text::SensorWide, "широкополосный", "wide-band"},
    {Text::SensorNarrow, "узкополосный", "narrow-band"},
    {Text::SensorGuessed, "(угадан по записи)", "(guessed from the log)"},
    {Text::SensorChosen, "(выбран)", "(chosen)"},
    {Text::ShowLabel, "Показать:", "Show:"},
    {Text::ShowRecords, "число записей", "records"},
    {Text::ShowLambda, "лямбда", "lambda"},
    {Text::ShowSuggestion, "предложение", "suggestion"},
    {Text::FilterCoolant, "Без записей при ОЖ ниже, °C:", "Leave out coolant below, °C:"},
    {Text::FilterThrottle, "при дросселе быстрее, ед./с:", "throttle faster than, units/s:"},
    {Text::FilterOverrun, "при отсечке топлива (ПХХ, торможение)", "fuel cut (no injection, deceleration)"},
    {Text::FilterMinRecords, "Мин. записей в ячейке:", "Least records a cell:"},
    {Text::FilterRange, "Время: записи %1–%2 (масштаб графиков)", "Time: records %1 to %2 (the plots' zoom)"},
    {Text::TargetAfr, "Целевой AFR:", "Target AFR:"},
    {Text::TargetMap, "Карта целей…", "Target map…"},
    {Text::TargetOneValue, "одно значение для всех ячеек", "one value for every cell"},
    {Text::MaxChange, "Не более, % за проход:", "At most, % a pass:"},
    {Text::CurrentMap, "Текущая карта…", "Current map…"},
    {Text::CurrentMapFrom, "Текущая карта: %1", "Current map: %1"},
    {Text::SaveSuggestion, "Сохранить предложение…", "Save the suggestion…"},
    {Text::NarrowNoSuggestion,
     "Узкополосный зонд не измеряет состав смеси: предложения нет, показана доля богатых записей.",
     "A narrow-band sensor does not measure the mixture: no suggestion; the share of rich records is shown."},
    {Text::AnalysisSummary,
     "Учтено записей: %1; без них: холодных %2, при разгоне %3, отсечка топлива %4, зонд на пределе %5, "
     "зонд не готов %6, без данных %7",
     "Records used: %1; left out: cold %2, throttle %3, fuel cut %4, sensor at its limit %5, sensor not ready %6, "
     "without data %7"},
    {Text::TipCell, "Ячейка %1 (строка %2, %3 об/мин)", "Cell %1 (row %2, %3 rpm)"},
    {Text::TipRecords, "Записей: %1", "Records: %1"},
    {Text::TipMeans, "В среднем %1 об/мин, нагрузка %2", "Mean %1 rpm, load %2"},
    {Text::TipAfr, "AFR в среднем: %1", "Mean AFR: %1"},
    {Text::TipRich, "Богатых записей: %1 %", "Rich records: %1 %"},
    {Text::TipCurrent, "Текущее значение: %1", "Current value: %1"},
    {Text::TipSuggested, "Предложено: %1", "Suggested: %1"},
    {Text::SuggestionSaved, "Предложение сохранено в %1. В окне его загружает кнопка «Из файла» страницы «Впрыск».",
     "The suggestion was saved to %1. In the window, \"Из файла\" on the page \"Впрыск\" loads it."},
    {Text::ScatterSpeed, "обороты, об/мин", "engine speed, rpm"},
    {Text::ScatterLoad, "нагрузка", "load"},
    {Text::ScatterRecord, "Запись %1: %2 об/мин, нагрузка %3, %4, ячейка %5",
     "Record %1: %2 rpm, load %3, %4, cell %5"},
    {Text::WaitingForAdapter, "нет связи — ожидание адаптера", "no link — waiting for the adapter"},
    {Text::PageUnstored, "Изменено ячеек: %1 — не сохранено", "%1 cells changed — not stored"},
    {Text::PageStored, "Карта сохранена в памяти ЭБУ", "The map is stored in the ECU"},
    {Text::PageNotRead, "Карта не прочитана после подключения — «Обновить»",
     "Not read since connecting — \"Refresh\""},
    {Text::NoteStoring, "Идёт сохранение в ЭБУ: изменения не принимаются", "Storing in the ECU: no changes now"},
    {Text::NoteHistoryEnded, "ЭБУ изменил карту (%1 яч.): показаны его значения, отмена правок начата заново",
     "The ECU changed the map (%1 cells): its values are shown; undo starts afresh"},
    {Text::DifferenceTitle, "Карта в ЭБУ отличается от окна", "The ECU's map differs from the window"},
    {Text::DifferenceText,
     "%1: в ЭБУ другие значения, чем в окне, в %2 яч. Возможно, ЭБУ перезапускался (зажигание выключали) и "
     "потерял несохранённые изменения. Ничего не записано.",
     "%1: the ECU holds other values than the window in %2 cells. It may have restarted (the ignition was "
     "switched off) and lost changes that were not stored. Nothing has been written."},
    {Text::DifferenceRewrite, "Записать значения окна в ЭБУ", "Write the window's values to the ECU"},
    {Text::DifferenceTakeEcu, "Взять значения ЭБУ", "Take the ECU's values"},
    {Text::DifferenceLeave, "Оставить (значения окна — в списке)", "Leave it (the window's values stay listed)"},
    {Text::CompareWindowColumn, "Окно", "Window"},
    {Text::CompareWindowValues, "значения окна до подключения", "the window's values before connecting"},
    {Text::ReadBackFailed, "Карту не удалось прочитать для проверки записанных ячеек.",
     "The map could not be read back to check the cells written."},
    {Text::CellsMissing, "В ЭБУ не записались ячейки (%1): %2. Окно показывает значения ЭБУ.",
     "Cells that did not land in the ECU (%1): %2. The window shows the ECU's values."},
    {Text::CellMissingItem, "%1 (строка %2, %3: в ЭБУ %4 вместо %5)", "%1 (row %2, %3: the ECU holds %4, not %5)"},
    {Text::AndMore, "и ещё %1", "and %1 more"},
    {Text::TemplateOverUnstored,
     "Карта изменена и не сохранена (%1 яч.). Шаблон заменит эти изменения. Загрузить шаблон?",
     "The map has %1 changed cells that are not stored. The template replaces them. Load the template?"},
    {Text::FileLoadProgress, "Загрузка карты из файла в ЭБУ…", "Loading the map from the file into the ECU…"},
    {Text::FileLoaded, "Карта из файла записана в ЭБУ и сохранена.",
     "The map from the file was written to the ECU and stored."},
    {Text::FileLoadedMissing, "Карта из файла записана в ЭБУ и сохранена, кроме ячеек (%1): %2.",
     "The map from the file was written to the ECU and stored, except these cells (%1): %2."},
    {Text::FileLoadCancelled, "Загрузка прервана: записано ячеек %1 из 256. Карта не сохранена в памяти ЭБУ.",
     "The load was cancelled after %1 of 256 cells. The map was not stored in the ECU."},
    {Text::MapFileOutOfRange, "Строка %1 файла («%2») вне диапазона этой карты: от %3 до %4. Файл не загружен.",
     "Line %1 of the file (\"%2\") lies outside this map's range, %3 to %4. Nothing was loaded."},
    // Serial adapters on Linux.
    {Text::PortNoPermission,
     "Нет прав на %1: устройство принадлежит группе %2. Добавьте себя в неё командой\n"
     "sudo usermod -aG %2 %3\n"
     "и войдите в систему заново (выйдите из сеанса и войдите снова).",
     "No permission to open %1: the device belongs to the group %2. Add yourself to it with\n"
     "sudo usermod -aG %2 %3\n"
     "then log out and in again."},
    {Text::PortNoPermissionLogInAgain,
     "Нет прав на %1: вы уже в группе %2, но этот сеанс начат раньше. Выйдите из сеанса и войдите снова.",
     "No permission to open %1: you are in the group %2, but this session began before that. Log out and in "
     "again."},
    {Text::PortNoPermissionUnknownGroup, "Нет прав на %1. Кому он доступен, покажет команда ls -l %1.",
     "No permission to open %1. ls -l %1 shows who may open it."},
    {Text::PortHeldBy, "%1 занят программой %2. Закройте её и соедините снова.",
     "%1 is held by %2. Close it and connect again."},
    {Text::PortHeldByUnknown,
     "%1 занят другой программой; найти её не удалось (её покажет команда sudo fuser -v %1).",
     "%1 is held by another program that could not be found (sudo fuser -v %1 shows it)."},
    {Text::PortProberHint,
     "%1 берёт себе новые адаптеры; как этого избежать, сказано в README, раздел «Linux serial adapters».",
     "%1 takes new adapters for itself; the README's section \"Linux serial adapters\" says how to keep it away."},
    {Text::OtherEcuAnswered, "ответил другой ЭБУ или адаптер («%1», а не «%2»)",
     "another ECU or adapter answered (\"%1\", not \"%2\")"},
    {Text::EcuSilentAfterReplug, "адаптер на месте, ЭБУ не отвечает", "the adapter is back, the ECU does not answer"},
    {Text::NoLiveData, "—", "—"},
    {Text::CurrentMapTrack, "Текущая карта: %1 рядом с записью (карта в начале записи и изменений за запись: %2)",
     "Current map: %1 beside the log (the map at its start and %2 changes while logging)"},
    {Text::CurrentMapNoTrack,
     "Рядом с записью нет %1: выберите карту, которая была в ЭБУ («Текущая карта…»); до тех пор предложения нет",
     "No %1 beside the log: choose the map the ECU held (\"Current map…\"); until then, no suggestion"},
    {Text::CurrentMapBadTrack, "%1 рядом с записью не прочитан: %2", "%1 beside the log cannot be read: %2"},
    {Text::SkippedLines, " (пропущено строк: %1, первая — %2)", " (lines skipped: %1, the first is line %2)"},
    {Text::LogBadLines, "Пропущено испорченных строк записи: %1, первая — строка %2",
     "Bad lines of the log skipped: %1, the first is line %2"},
    {Text::FilterDelay, "Задержка зонда, мс:", "Lambda delay, ms:"},
    {Text::FilterDelayTip,
     "Выхлоп доходит до зонда с опозданием: каждое показание относится к режиму, который был на столько раньше "
     "(записи идут примерно через 200 мс)",
     "The exhaust reaches the sensor late: each reading belongs to the working point this long before it "
     "(records are about 200 ms apart)"},
    {Text::MenuLockCells, "Закрепить ячейки", "Lock the cells"},
    {Text::MenuUnlockCells, "Открепить ячейки", "Unlock the cells"},
    {Text::LockHint, "Закреплённые ячейки (двойной щелчок или меню выделения) предложения не получают",
     "Locked cells (double-click, or the selection's menu) get no suggestion"},
    {Text::TipLocked, "Закреплена: без предложения", "Locked: no suggestion"},
    {Text::TipNeed, "По записям нужно: %1", "The records ask for: %1"},
    {Text::TipLeftOut, "Не учтено записей: %1", "Records left out: %1"},
    {Text::TipSpans, "Номера записей: %1", "Record numbers: %1"},
    {Text::PlotRecord, "Запись %1 (≈ %2 с)", "Record %1 (≈ %2 s)"},
    {Text::PlotCell, "Ячейка", "Cell"},
    {Text::PlotSpeed, "Обороты", "Engine speed"},
    {Text::PlotCoolant, "ОЖ", "Coolant"},
    {Text::PlotThrottle, "Дроссель", "Throttle"},
    {Text::PlotLoad, "Нагрузка", "Load"},
    {Text::PlotLambda, "Лямбда", "Lambda"},
    {Text::PlotInjection, "Впрыск", "Injection"},
    {Text::PlotAdvance, "УОЗ", "Advance"},
    {Text::UnitRpm, "об/мин", "rpm"},
    {Text::UnitMs, "мс", "ms"},
    {Text::UnitSeconds, "с", "s"},
}};

constexpr bool inOrder()
{
    for (size_t i = 0; i < kTexts.size(); ++i)
        if (size_t(kTexts[i].id) != i)
            return false;
    return true;
}
static_assert(inOrder(), "the rows follow the order of Text");
} // namespace

const TextRow *textTable()
{
    return kTexts.data();
}

bool englishTexts(int languageIndex)
{
    return languageIndex == 1;
}

QString runTimeText(Text id, int languageIndex)
{
    const TextRow &row = kTexts[size_t(id)];
    return QString::fromUtf8(englishTexts(languageIndex) ? row.english : row.russian);
}

} // namespace tarvex::lang
