#include "app/MainForm.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    tarvex::app::TTarvexMainForm form;
    form.show();
    return application.exec();
}
