#include "grading/DocumentFields.h"

#include <QJsonValue>
#include <charconv>
#include <cmath>

#include "engine/base/Error.h"

namespace {

const char* TypeName(const QJsonValue& value) {
    switch (value.type()) {
        case QJsonValue::Null:
            return "null";
        case QJsonValue::Bool:
            return "a true or false";
        case QJsonValue::Double:
            return "a number";
        case QJsonValue::String:
            return "a text";
        case QJsonValue::Array:
            return "a list";
        case QJsonValue::Object:
            return "an object";
        default:
            return "missing";
    }
}

// A number as a message shows it: whole numbers in full.
std::string Shown(double value) {
    if (value == std::floor(value) && std::fabs(value) < 1e15) return std::to_string(static_cast<long long>(value));
    return ExactDoubleText(value);
}

std::string Wrong(const QJsonValue& value, const char* wanted) {
    return std::string("is ") + TypeName(value) + ", not " + wanted;
}

}  // namespace

std::string ExactDoubleText(double value) {
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)error;
    return std::string(buffer, end);
}

TDocumentFields::TDocumentFields(QJsonObject object, std::string fileName, std::string path)
    : object_(std::move(object)),
      fileName_(std::move(fileName)),
      path_(std::move(path)),
      taken_(std::make_shared<std::set<QString>>()) {}

std::string TDocumentFields::PathOf(const char* key) const { return path_.empty() ? key : path_ + "." + key; }

void TDocumentFields::Fail(const char* key, const std::string& what) const {
    throw EError("\"" + fileName_ + "\": " + PathOf(key) + ": " + what);
}

QJsonValue TDocumentFields::Take(const char* key) const {
    taken_->insert(QString::fromUtf8(key));
    return object_.value(QString::fromUtf8(key));
}

QJsonValue TDocumentFields::Required(const char* key) const {
    const QJsonValue value = Take(key);
    if (value.isUndefined()) Fail(key, "is missing");
    return value;
}

bool TDocumentFields::Has(const char* key) const {
    const QJsonValue value = Take(key);
    return !value.isUndefined() && !value.isNull();
}

TDocumentFields TDocumentFields::Object(const char* key) const {
    const QJsonValue value = Required(key);
    if (!value.isObject()) Fail(key, Wrong(value, "an object"));
    return TDocumentFields(value.toObject(), fileName_, PathOf(key));
}

std::string TDocumentFields::String(const char* key, std::size_t maxLength) const {
    const QJsonValue value = Required(key);
    if (!value.isString()) Fail(key, Wrong(value, "a text"));
    const QByteArray text = value.toString().toUtf8();
    if (static_cast<std::size_t>(text.size()) > maxLength)
        Fail(key, "is longer than " + std::to_string(maxLength) + " bytes");
    return text.toStdString();
}

int TDocumentFields::Integer(const char* key, int min, int max) const {
    const QJsonValue value = Required(key);
    if (!value.isDouble()) Fail(key, Wrong(value, "a number"));
    const double number = value.toDouble();
    if (!(number >= min && number <= max))
        Fail(key, Shown(number) + " is outside " + std::to_string(min) + ".." + std::to_string(max));
    if (number != std::floor(number)) Fail(key, Shown(number) + " is not a whole number");
    return static_cast<int>(number);
}

bool TDocumentFields::Boolean(const char* key) const {
    const QJsonValue value = Required(key);
    if (!value.isBool()) Fail(key, Wrong(value, "a true or false"));
    return value.toBool();
}

double TDocumentFields::Exact(const char* key, double min, double max) const {
    const QJsonValue value = Required(key);
    if (!value.isString()) Fail(key, Wrong(value, "a number written as text"));
    const std::string text = value.toString().toStdString();
    double number = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(number))
        Fail(key, "\"" + text.substr(0, 40) + "\" is not a finite number");
    if (number < min || number > max)
        Fail(key, text + " is outside " + ExactDoubleText(min) + ".." + ExactDoubleText(max));
    return number;
}

void TDocumentFields::Finish() const {
    for (auto it = object_.begin(); it != object_.end(); ++it)
        if (!taken_->contains(it.key()))
            Fail(it.key().toUtf8().left(80).constData(), "unknown field, perhaps made by a newer version");
}
