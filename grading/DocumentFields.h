#pragma once
#include <QJsonObject>
#include <QString>
#include <memory>
#include <set>
#include <string>

// One JSON object of a look document read field by field. Every field is
// checked for its type and range as it is taken, and a refusal names the
// file and the field by its path: "\"a.olook\": look.positions.gain: 250 is
// outside 0..200". Finish refuses the fields that were never taken, so a
// field this program does not know is never silently dropped.
class TDocumentFields {
public:
    TDocumentFields(QJsonObject object, std::string fileName, std::string path);

    // The field's path, for messages: "look.positions" + "." + key.
    std::string PathOf(const char* key) const;
    [[noreturn]] void Fail(const char* key, const std::string& what) const;

    // True when the field is there and not null; the field counts as taken.
    bool Has(const char* key) const;
    // The sub-object (required).
    TDocumentFields Object(const char* key) const;
    // A string of at most maxLength bytes (UTF-8).
    std::string String(const char* key, std::size_t maxLength) const;
    // A whole number within min..max.
    int Integer(const char* key, int min, int max) const;
    bool Boolean(const char* key) const;
    // A double kept as the text of its shortest exact form, within min..max.
    double Exact(const char* key, double min, double max) const;

    // Refuses the first field that no call above took.
    void Finish() const;

private:
    QJsonValue Take(const char* key) const;
    QJsonValue Required(const char* key) const;

    QJsonObject object_;
    std::string fileName_;
    std::string path_;
    std::shared_ptr<std::set<QString>> taken_;
};

// The shortest text that reads back as exactly this double.
std::string ExactDoubleText(double value);
