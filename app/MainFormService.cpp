// Service functions and calibration.
#include "app/MainForm.h"

namespace tarvex::app {

void TTarvexMainForm::Calibration_read_buttonClick()
{
    // Reading the calibration arrives with the service functions.
}

} // namespace tarvex::app
