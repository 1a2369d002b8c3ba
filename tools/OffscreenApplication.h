// Set-up for tools that draw text with Qt but show no window.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdio>

namespace glyphtint::tools {

// Picks the offscreen platform unless the user chose one, so that no display is needed
// and text is measured at 96 dpi as on a common screen; and drops Qt's note about a
// missing XDG_RUNTIME_DIR, which concerns desktop sessions, not the files a tool writes,
// and would stand in front of the tool's own messages. Call before the QGuiApplication
// is made.
inline void PrepareOffscreenApplication()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static const QtMessageHandler previous = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (type != QtFatalMsg && message.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR"))) {
            return;
        }
        if (previous != nullptr) {
            previous(type, context, message);
        } else {
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
        }
    });
}

} // namespace glyphtint::tools
