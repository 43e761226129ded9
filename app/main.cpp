#include "FileSizeLimit.h"
#include "frmKeltoAccountCreator.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

// Without a display Qt aborts with a page of plugin diagnostics; an operator on a bare server
// console deserves one line saying what is wrong.
bool displayAvailable()
{
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    const auto isSet = [](const char *name) {
        const char *value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    return isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    letWritesFailBeyondFileSizeLimit();
    if (!displayAvailable()) {
        std::fputs("kelto-account-creator: no graphical display found (DISPLAY and "
                   "WAYLAND_DISPLAY are unset); start it from a desktop session.\n",
                   stderr);
        return 2;
    }

    QApplication app(argc, argv);
    frmKeltoAccountCreator window;
    window.show();
    return app.exec();
}
