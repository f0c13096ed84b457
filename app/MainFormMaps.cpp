// The fuel and ignition map pages.
#include "app/MainForm.h"

namespace tarvex::app {

void TTarvexMainForm::InjRefreshButtonClick()
{
    // Reading the fuel map arrives with the map editor.
}

void TTarvexMainForm::IgnRefreshButtonClick()
{
    // Reading the ignition map arrives with the map editor.
}

} // namespace tarvex::app
