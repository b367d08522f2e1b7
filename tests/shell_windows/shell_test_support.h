#pragma once
// What the shell window tests share: a temporary current directory (the INI files live
// there) and a helper that answers every message box that opens, recording its text.

#include <filesystem>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace mg::test {

// Makes `folder` the current directory for the life of the object.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::filesystem::path& folder) : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~CurrentDirectory() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_;
};

// Answers every message box that opens with its default button (or its first one).
class BoxAnswerer {
public:
    BoxAnswerer() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || box == last_) return;
            last_ = box;
            texts.push_back(box->text().toStdString());
            QAbstractButton* b = box->defaultButton();
            if (!b && !box->buttons().isEmpty()) b = box->buttons().first();
            if (b) QTimer::singleShot(0, b, &QAbstractButton::click);
        });
        timer_.start();
    }
    std::vector<std::string> texts;

private:
    QTimer timer_;
    QMessageBox* last_ = nullptr;
};

}  // namespace mg::test
