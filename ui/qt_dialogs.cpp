// Message boxes, questions and the file dialogs, each owned by the
// front window, and the seam through which tests answer them instead.
#include "ui/qt_internal.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

namespace ui {

using namespace impl;

namespace impl {

QWidget* FrontWindow()
{
    if (QWidget* active = QApplication::activeWindow()) {
        for (auto& [n, entry] : S().windows)
            if (entry.widget == active)
                return active;
    }
    QWidget* best = nullptr;
    unsigned long long bestAt = 0;
    for (auto& [n, entry] : S().windows) {
        if (entry.widget && entry.widget->isVisible() && entry.openedAt >= bestAt) {
            best = entry.widget.data();
            bestAt = entry.openedAt;
        }
    }
    return best;
}

}  // namespace impl

namespace {

QMessageBox::Icon QtIcon(Icon icon)
{
    switch (icon) {
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Warning: return QMessageBox::Warning;
    default: return QMessageBox::Information;
    }
}

QStringList QtFilters(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString label = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        const QString tail = u'(' + patterns + u')';
        // Qt reads the patterns from the parentheses of the label.
        result.append(label.contains(tail) ? label : label + u' ' + tail);
    }
    return result;
}

}  // namespace

void MessageBox(const std::u16string& title, const std::u16string& text, Icon icon)
{
    State& s = S();
    if (s.recordMessages) {
        s.messages.push_back({title, text, icon});
        return;
    }
    if (!QApplication::instance())
        return;
    QMessageBox box(QtIcon(icon), Q(title), Q(text), QMessageBox::Ok, FrontWindow());
    box.setTextFormat(Qt::PlainText);
    SyncLists();
    box.exec();
}

int Question(const std::u16string& title, const std::u16string& text, Icon icon,
             const std::vector<std::u16string>& buttons, int defaultButton, int cancelButton)
{
    State& s = S();
    if (!s.questionAnswers.empty() || s.recordMessages) {
        s.questions.push_back({title, text, icon, buttons});
        if (s.questionAnswers.empty())
            return cancelButton;
        const int answer = s.questionAnswers.front();
        s.questionAnswers.pop_front();
        return answer;
    }
    if (!QApplication::instance() || buttons.empty())
        return cancelButton;
    QMessageBox box(QtIcon(icon), Q(title), Q(text), QMessageBox::NoButton, FrontWindow());
    box.setTextFormat(Qt::PlainText);
    // Buttons of one role keep the order they were added in.
    std::vector<QPushButton*> pushButtons;
    for (const std::u16string& caption : buttons)
        pushButtons.push_back(box.addButton(Q(caption), QMessageBox::ActionRole));
    const auto valid = [&](int button) { return button >= 0 && button < static_cast<int>(pushButtons.size()); };
    if (valid(defaultButton))
        box.setDefaultButton(pushButtons[defaultButton]);
    if (valid(cancelButton))
        box.setEscapeButton(pushButtons[cancelButton]);
    SyncLists();
    box.exec();
    const auto chosen = std::find(pushButtons.begin(), pushButtons.end(), box.clickedButton());
    return chosen == pushButtons.end() ? cancelButton : static_cast<int>(chosen - pushButtons.begin());
}

namespace {

// The extension of a filter's first pattern, "vcf" for "*.vcf"; empty
// for a pattern such as "*".
QString FilterSuffix(const QString& filter)
{
    const qsizetype open = filter.lastIndexOf(u'(');
    const QString pattern = filter.mid(open + 1).section(u' ', 0, 0).remove(u')');
    const QString suffix = pattern.startsWith(u"*.") ? pattern.mid(2) : QString();
    return suffix.contains(u'*') || suffix.contains(u'?') ? QString() : suffix;
}

std::u16string FileDialog(bool save, const std::u16string& title, const std::u16string& initialPath,
                          const std::u16string& filter, int filterIndex)
{
    State& s = S();
    std::deque<std::u16string>& answers = save ? s.saveAnswers : s.fileAnswers;
    if (!answers.empty()) {
        s.fileDialogs.push_back({title, initialPath, filter, filterIndex, save});
        std::u16string answer = std::move(answers.front());
        answers.pop_front();
        return answer;
    }
    if (!QApplication::instance())
        return {};

    QFileDialog dialog(FrontWindow(), Q(title));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    const QStringList filters = QtFilters(Q(filter));
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (filterIndex >= 0 && filterIndex < filters.size())
            dialog.selectNameFilter(filters[filterIndex]);
        // A name typed without extension gets the chosen filter's.
        if (save) {
            dialog.setDefaultSuffix(FilterSuffix(dialog.selectedNameFilter()));
            QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                             [&dialog](const QString& chosen) { dialog.setDefaultSuffix(FilterSuffix(chosen)); });
        }
    }
    const QString path = Q(initialPath);
    if (!path.isEmpty()) {
        const QFileInfo info(path);
        if (path.endsWith(u'/') || path.endsWith(QDir::separator()) || info.isDir()) {
            dialog.setDirectory(path);
        } else {
            dialog.setDirectory(info.absolutePath());
            dialog.selectFile(info.fileName());
        }
    }
    SyncLists();
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? std::u16string() : U(QDir::toNativeSeparators(chosen.front()));
}

}  // namespace

std::u16string OpenFileDialog(const std::u16string& title, const std::u16string& initialPath,
                              const std::u16string& filter, int filterIndex)
{
    return FileDialog(false, title, initialPath, filter, filterIndex);
}

std::u16string SaveFileDialog(const std::u16string& title, const std::u16string& initialPath,
                              const std::u16string& filter, int filterIndex)
{
    return FileDialog(true, title, initialPath, filter, filterIndex);
}

void RecordMessageBoxes(bool on) { S().recordMessages = on; }
const std::vector<RecordedMessage>& RecordedMessages() { return S().messages; }
void ClearRecordedMessages() { S().messages.clear(); }
void SetNextOpenFileAnswer(const std::u16string& path) { S().fileAnswers.push_back(path); }
void SetNextSaveFileAnswer(const std::u16string& path) { S().saveAnswers.push_back(path); }
const std::vector<RecordedFileDialog>& RecordedFileDialogs() { return S().fileDialogs; }
void SetNextQuestionAnswer(int button) { S().questionAnswers.push_back(button); }
const std::vector<RecordedQuestion>& RecordedQuestions() { return S().questions; }

}  // namespace ui
