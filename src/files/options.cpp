#include "files/options.h"

#include "files/inifile.h"
#include "files/lookup.h"

namespace lumeq {

namespace {

const QString kCurvePrefix = QStringLiteral("-dc=");

// A "-dc=" parameter: the characters from the fifth on are the curve index (-1 when not a number).
int curveIndexOf(const QString& parameter) {
    bool ok = false;
    const int value = parameter.mid(4).toInt(&ok, 10);
    return ok ? value : -1;
}

} // namespace

QString joinParams(const QStringList& args) {
    QString text;
    for (const QString& arg : args)
        text += QLatin1Char(' ') + arg;
    return text;
}

QString StartupOptions::restartParams() const {
    return joinParams(restartArgs);
}

StartupOptions optionsFromCommandLine(const QStringList& parameters) {
    StartupOptions options;
    const struct {
        const char* text;
        bool StartupOptions::*flag;
    } table[] = {
        {"-eraseAll", &StartupOptions::enableErase}, {"-skipFW", &StartupOptions::skipFW},
        {"-copyAstro", &StartupOptions::copyAstro},  {"-noLoadCheck", &StartupOptions::noLoadCheck},
        {"-showLog", &StartupOptions::showLog},      {"-set60Hz", &StartupOptions::set60Hz},
        {"-debug", &StartupOptions::debugMode},
    };
    for (const QString& parameter : parameters) {
        for (const auto& option : table) {
            if (parameter == QLatin1String(option.text))
                options.*(option.flag) = true;
        }
        if (parameter.contains(kCurvePrefix))
            options.curveIndex = curveIndexOf(parameter);
        else
            options.restartArgs.append(parameter);
    }
    return options;
}

StartupOptions readOptions(const QString& programDir, const QStringList& parameters) {
    const IniFile ini =
        IniFile::load(lookupPath(lookupRoots(programDir), QLatin1String(kCommandIniName), EntryKind::File));
    if (!ini.exists())
        return optionsFromCommandLine(parameters);

    // With command.ini the options come from it alone. Only the curve parameter, which the program hands
    // itself at the restart after a Transfer, is still taken from the command line.
    StartupOptions options;
    options.fromCommandIni = true;
    options.curveIndex = optionsFromCommandLine(parameters).curveIndex;
    const auto flag = [&ini](const char* key) {
        return ini.value(QStringLiteral("Commands"), QLatin1String(key), QStringLiteral("0")) == QLatin1String("1");
    };
    options.enableErase = flag("eraseAll");
    options.copyAstro = flag("copyAstro");
    options.set60Hz = flag("set60Hz");
    options.showLog = flag("showLog");
    return options;
}

QStringList transferRestartArgs(const StartupOptions& options, int curveIndex) {
    QStringList args = options.restartArgs;
    if (curveIndex != -1)
        args.append(kCurvePrefix + QString::number(curveIndex));
    return args;
}

} // namespace lumeq
