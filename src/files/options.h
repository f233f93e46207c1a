#pragma once
// Start-up options: from command.ini when that file exists (beside the program, else in the user's
// configuration folder or the installation's, see files/lookup.h), otherwise from the command line. The
// curve parameter "-dc=N" is the program's own restart parameter and is read from the command line in
// both cases.

#include <QString>
#include <QStringList>

namespace lumeq {

struct StartupOptions {
    bool enableErase = false; // "-eraseAll" / eraseAll=1
    bool skipFW = false;      // "-skipFW"
    bool copyAstro = false;   // "-copyAstro" / copyAstro=1
    bool noLoadCheck = false; // "-noLoadCheck"
    bool showLog = false;     // "-showLog" / showLog=1
    bool set60Hz = false;     // "-set60Hz" / set60Hz=1
    bool debugMode = false;   // "-debug"
    bool fromCommandIni = false;
    int curveIndex = -1; // "-dc=N": preselected dimming curve, -1 = none
    // The parameters handed on at a self-restart: every command-line parameter but "-dc=" ones, in
    // order, each kept whole (never split or interpreted).
    QStringList restartArgs;

    // The restart parameters as one text: each parameter with a blank before it.
    QString restartParams() const;
};

inline constexpr const char* kCommandIniName = "command.ini";

// `programDir` ends with a path separator; `parameters` are the command-line parameters without the
// program name.
StartupOptions readOptions(const QString& programDir, const QStringList& parameters);
StartupOptions optionsFromCommandLine(const QStringList& parameters);

// Arguments for the restart after a Transfer: the restart parameters, then "-dc=N" when a curve is chosen.
QStringList transferRestartArgs(const StartupOptions& options, int curveIndex);

// One blank before each parameter: " -debug foo".
QString joinParams(const QStringList& args);

} // namespace lumeq
