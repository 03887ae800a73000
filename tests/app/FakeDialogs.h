#pragma once
#include <QStringList>
#include <algorithm>
#include <deque>

#include "app/Dialogs.h"
#include "engine/picture/Image.h"

// Answers the standard dialogs from queues prepared by a test and records
// what was asked and every error shown. Installed for its lifetime.
class TFakeDialogs : public TDialogs {
public:
    TFakeDialogs() { SetDialogs(this); }
    ~TFakeDialogs() override { SetDialogs(nullptr); }

    std::deque<QStringList> FilesToOpen;
    std::deque<QString> PicturesToOpen;
    std::deque<QString> FilesToSave;
    std::deque<QMessageBox::StandardButton> Answers;

    QStringList Questions;
    QStringList Errors;
    int SaveDialogs = 0;
    QString LastSaveFilter;
    // Where the last dialog started (for a save: the suggested file).
    QString LastStart;

    QStringList OpenFiles(QWidget*, const QString&, const QString&, const QString& startFolder) override {
        LastStart = startFolder;
        return Take(FilesToOpen, QStringList());
    }
    QString OpenPicture(QWidget*, const QString&, const QString&, const QString& startFolder) override {
        LastStart = startFolder;
        return Take(PicturesToOpen, QString());
    }
    QString SaveFile(QWidget*, const QString&, const QString& start, const QString& filter, const QString&) override {
        ++SaveDialogs;
        LastSaveFilter = filter;
        LastStart = start;
        return Take(FilesToSave, QString());
    }
    QMessageBox::StandardButton Ask(QWidget*, const QString& text, QMessageBox::StandardButtons) override {
        Questions << text;
        return Take(Answers, QMessageBox::Cancel);
    }
    void ShowError(QWidget*, const QString& text) override { Errors << text; }

private:
    template <typename T>
    static T Take(std::deque<T>& queue, T otherwise) {
        if (queue.empty()) return otherwise;
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};

// A smooth colourful picture: every luma range is present, so a look can be
// built from it.
inline TImage ColourfulPicture(int width, int height) {
    TImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = image.Row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(255 * x / std::max(1, width - 1));
            p[1] = static_cast<std::uint8_t>(255 * y / std::max(1, height - 1));
            p[2] = static_cast<std::uint8_t>(255 - 255 * (x + y) / std::max(1, width + height - 2));
        }
    return image;
}

// A picture of one colour.
inline TImage FlatPicture(int width, int height, std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    TImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = image.Row(y) + 3 * x;
            p[0] = blue;
            p[1] = green;
            p[2] = red;
        }
    return image;
}

// The name of a camera's footage in the footage choice.
inline constexpr const char* kSlog3Cine = "Sony S-Log3 / S-Gamut3.Cine";
