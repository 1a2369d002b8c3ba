// Set-up for tools that draw text with Qt but show no window.
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace glyphtint::raster {

// A private runtime folder for a process started outside a desktop session, made when
// XDG_RUNTIME_DIR is not set and removed again at exit. QGuiApplication looks into the
// runtime folder whatever the platform (for a "flatpak-info" file, to choose its platform
// theme); without XDG_RUNTIME_DIR, Qt names a folder under /tmp itself and says so on the
// terminal at every start ("QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to ...").
// The folder is the user's alone (mode 0700, as mkdtemp makes it) and nothing is put in it.
class PrivateRuntimeFolder {
public:
    PrivateRuntimeFolder()
    {
        if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
            return;
        }
        const QByteArray temp = qgetenv("TMPDIR");
        std::string pattern = (temp.isEmpty() ? std::string("/tmp") : temp.toStdString()) + "/glyphtint-runtime-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
            qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(path_));
        }
    }
    PrivateRuntimeFolder(const PrivateRuntimeFolder&) = delete;
    PrivateRuntimeFolder& operator=(const PrivateRuntimeFolder&) = delete;
    ~PrivateRuntimeFolder()
    {
        if (!path_.empty()) {
            rmdir(path_.c_str());
        }
    }

private:
    std::string path_;
};

// Picks the offscreen platform unless the user chose one, so that no display is needed
// and text is measured at 96 dpi as on a common screen; and gives the process a runtime
// folder where it has none (see PrivateRuntimeFolder). Call before the QGuiApplication
// is made.
inline void PrepareOffscreenApplication()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static const PrivateRuntimeFolder runtimeFolder;
}

} // namespace glyphtint::raster
