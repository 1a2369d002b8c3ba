// TSaveDialog: the save-file dialog that remembers the last confirmed choice for the run.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>

class QWidget;

// What the dialog opens with and what the user confirmed.
struct TSaveDialogChoice {
    std::string FileName; // full path, UTF-8
    int FilterIndex = 1;  // 1-based, into the filter list
};

class TSaveDialog {
public:
    // Shows the dialog and returns the confirmed choice, or nothing when cancelled.
    using Runner = std::function<std::optional<TSaveDialogChoice>(const TSaveDialog& dialog)>;

    // Filters in Qt's form, one per file type.
    QStringList Filters;
    // Added to a typed name that has no extension.
    QString DefaultExt;
    // The last confirmed choice; empty file name and the first filter at the start.
    std::string FileName;
    int FilterIndex = 1;

    // Runs the dialog modally over parent. On confirmation FileName and FilterIndex take
    // the user's choice and the result is true; a cancelled dialog changes nothing.
    bool Execute(QWidget* parent);

    // Replaces the file dialog (tests answer it); empty means Qt's file dialog.
    Runner Run;
};
