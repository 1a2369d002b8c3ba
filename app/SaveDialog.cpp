// TSaveDialog: Qt's file dialog in save mode, with the choice kept between runs.
#include "app/SaveDialog.h"

#include <QFileDialog>

namespace {

std::optional<TSaveDialogChoice> RunFileDialog(const TSaveDialog& settings, QWidget* parent)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(settings.Filters);
    dialog.setDefaultSuffix(settings.DefaultExt);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setSizeGripEnabled(true);
    if (settings.FilterIndex >= 1 && settings.FilterIndex <= settings.Filters.size()) {
        dialog.selectNameFilter(settings.Filters.at(settings.FilterIndex - 1));
    }
    if (!settings.FileName.empty()) {
        dialog.selectFile(QString::fromStdString(settings.FileName));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    TSaveDialogChoice choice;
    choice.FileName = dialog.selectedFiles().constFirst().toStdString();
    choice.FilterIndex = static_cast<int>(settings.Filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (choice.FilterIndex < 1) {
        choice.FilterIndex = settings.FilterIndex;
    }
    return choice;
}

} // namespace

bool TSaveDialog::Execute(QWidget* parent)
{
    const std::optional<TSaveDialogChoice> choice = Run ? Run(*this) : RunFileDialog(*this, parent);
    if (!choice) {
        return false;
    }
    FileName = choice->FileName;
    FilterIndex = choice->FilterIndex;
    return true;
}
