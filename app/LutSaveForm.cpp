#include "app/LutSaveForm.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>

#include "app/Application.h"
#include "app/Dialogs.h"
#include "engine/base/Error.h"
#include "engine/lut/LUT.h"
#include "formats/FormatRegistry.h"
#include "formats/LutConvert.h"
#include "grading/ExportLook.h"
#include "grading/GradingSession.h"
#include "grading/UserSettings.h"
#include "library/ReferenceLibrary.h"

namespace {
constexpr int kSaveClientWidth = 496;
constexpr int kSaveClientHeight = 244;
constexpr int kLabelLeft = 16;
constexpr int kControlLeft = 168;
constexpr int kRowHeight = 26;
constexpr int kMaxSizeDigits = 5;

const QString kDefault = QStringLiteral("Default");
const QStringList kCubeSizes = {kDefault, "17", "32", "33", "64"};
const QStringList kCurveSizes = {kDefault, "1024", "2048", "4096", "8192", "16384", "32768", "65536"};

struct TBitsItem {
    const char* Caption;
    int Bits;  // 0: the profile's default
};
constexpr TBitsItem kBitsItems[] = {{"Default", 0}, {"8 bit", 8},   {"10 bit", 10},
                                    {"12 bit", 12}, {"14 bit", 14}, {"16 bit", 16}};

// The settings key of the output profile last saved with.

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

// The file name with its last extension replaced (or one added when it has
// none); the folder and the base name stay.
QString ChangeFileExt(const QString& fileName, const QString& extension) {
    const int nameStart = fileName.lastIndexOf('/') + 1;
    const int dot = fileName.lastIndexOf('.');
    const QString stem = dot > nameStart ? fileName.left(dot) : fileName;
    return stem + '.' + extension;
}

// The grid sizes offered for a 3D profile: those of every format, or the
// only ones a format takes when they follow a rule (the squares of a picture
// LUT's levels).
QStringList CubeSizes(const TLutOutputProfile& profile) {
    const TLutFormatInfo& info = GetLutFormat(profile.FormatIndex)->Info();
    if (info.Sizes != TSizeRule::Squares) return kCubeSizes;
    QStringList sizes = {kDefault};
    for (int size = info.MinSize; size <= info.MaxSize; ++size)
        if (info.TakesSize(size, profile.DefaultBits)) sizes << QString::number(size);
    return sizes;
}

// Reacts only to real characters typed without Ctrl, Alt or Meta: navigation
// keys, dialog keys and shortcuts are no part of the size filter.
bool IsTypedCharacter(const QKeyEvent& key) {
    if (key.text().size() != 1) return false;
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    return key.text()[0].unicode() >= 0x20 && key.text()[0].unicode() != 0x7f;
}
}  // namespace

TfrmSaveLut::TfrmSaveLut(const TLookSettings& settings, QWidget* parent, const TFootageConversion* footage)
    : QDialog(parent), settings_(settings), footage_(footage) {
    CreateComponents();
    FormCreate();
}

QLabel* TfrmSaveLut::AddRowLabel(const char* name, const QString& caption, int top) {
    auto* label = new QLabel(caption, this);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(kLabelLeft, top, kControlLeft - kLabelLeft - 8, kRowHeight);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

void TfrmSaveLut::CreateComponents() {
    setWindowTitle(QStringLiteral("Save LUT file"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kSaveClientWidth, kSaveClientHeight);
    const int controlWidth = kSaveClientWidth - kControlLeft - kLabelLeft;

    AddRowLabel("lblOutFormat", QStringLiteral("Output LUT Format"), 20);
    cbxOutFormat = new QComboBox(this);
    cbxOutFormat->setObjectName(QStringLiteral("cbxOutFormat"));
    cbxOutFormat->setGeometry(kControlLeft, 20, controlWidth, kRowHeight);

    AddRowLabel("lblLUTFile", QStringLiteral("Output LUT File"), 62);
    edtLUTFile = new QLineEdit(this);
    edtLUTFile->setObjectName(QStringLiteral("edtLUTFile"));
    edtLUTFile->setGeometry(kControlLeft, 62, controlWidth - kRowHeight - 6, kRowHeight);
    edtLUTFile->setReadOnly(true);
    edtLUTFile->setFocusPolicy(Qt::ClickFocus);
    QPalette editPalette = edtLUTFile->palette();
    editPalette.setColor(QPalette::Base, palette().color(QPalette::Window));
    edtLUTFile->setPalette(editPalette);
    edtLUTFile->setEnabled(false);
    btnSetLUTFile = new QPushButton(QStringLiteral("..."), this);
    btnSetLUTFile->setObjectName(QStringLiteral("btnSetLUTFile"));
    btnSetLUTFile->setGeometry(kSaveClientWidth - kLabelLeft - kRowHeight, 62, kRowHeight, kRowHeight);
    btnSetLUTFile->setToolTip(QStringLiteral("Select the destination LUT file name"));
    btnSetLUTFile->setAutoDefault(false);
    btnSetLUTFile->setEnabled(false);

    AddRowLabel("lblDimSize", QStringLiteral("LUT dimension size"), 104);
    cbxDimSize = new QComboBox(this);
    cbxDimSize->setObjectName(QStringLiteral("cbxDimSize"));
    cbxDimSize->setGeometry(kControlLeft, 104, 110, kRowHeight);
    cbxDimSize->setEditable(true);
    cbxDimSize->setInsertPolicy(QComboBox::NoInsert);
    cbxDimSize->setCompleter(nullptr);  // "3" must stay 3, not become 32
    cbxDimSize->addItems(kCubeSizes);
    // The key filter keeps typing to digits; this keeps pasted text to them too.
    cbxDimSize->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("Default|[0-9]{0,5}")), cbxDimSize));
    cbxDimSize->setCurrentText(kDefault);
    cbxDimSize->setEnabled(false);

    AddRowLabel("lblBits", QStringLiteral("Bits per color"), 146);
    cbxBits = new QComboBox(this);
    cbxBits->setObjectName(QStringLiteral("cbxBits"));
    cbxBits->setGeometry(kControlLeft, 146, 110, kRowHeight);
    for (const TBitsItem& item : kBitsItems) cbxBits->addItem(QString::fromLatin1(item.Caption), item.Bits);
    cbxBits->setEnabled(false);

    btnSave = new QPushButton(QStringLiteral("Save"), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnSave->setGeometry(kSaveClientWidth - kLabelLeft - 2 * 84 - 8, 200, 84, 28);
    btnSave->setDefault(true);
    btnSave->setEnabled(false);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(kSaveClientWidth - kLabelLeft - 84, 200, 84, 28);
    btnCancel->setAutoDefault(false);

    connect(cbxOutFormat, &QComboBox::currentIndexChanged, this,
            [this] { RunHandler([this] { cbxOutFormatChange(); }); });
    connect(btnSetLUTFile, &QPushButton::clicked, this, [this] { RunHandler([this] { btnSetLUTFileClick(); }); });
    connect(btnSave, &QPushButton::clicked, this, [this] { RunHandler([this] { btnSaveClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    // The size filter sees the keys of the box and of its edit line; the Alt
    // filter sees every key of the dialog.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

void TfrmSaveLut::FormCreate() {
    const QSignalBlocker quiet(cbxOutFormat);  // filling is no choice of the user
    const auto& profiles = LutOutputProfiles();
    for (std::size_t i = 0; i < profiles.size(); ++i)
        if (ProfileIs3D(*profiles[i])) cbxOutFormat->addItem(FromStd(profiles[i]->Name), static_cast<int>(i));
    cbxOutFormat->setCurrentIndex(-1);
    cbxBits->setCurrentIndex(0);
    // The profile saved with last time is chosen again.
    const int remembered = cbxOutFormat->findText(UserSettings().value(kLutExportProfileKey).toString());
    if (remembered >= 0) {
        cbxOutFormat->setCurrentIndex(remembered);
        cbxOutFormatChange();
    }
}

const TLutOutputProfile* TfrmSaveLut::SelectedProfile() const {
    if (cbxOutFormat->currentIndex() < 0) return nullptr;
    return GetLutOutputProfile(cbxOutFormat->currentData().toInt());
}

void TfrmSaveLut::cbxOutFormatChange() {
    const TLutOutputProfile* profile = SelectedProfile();
    if (!profile) return;
    cbxDimSize->setEnabled(profile->SizeSelectable);
    if (profile->SizeSelectable) {
        cbxDimSize->clear();
        cbxDimSize->addItems(ProfileIs3D(*profile) ? CubeSizes(*profile) : kCurveSizes);
    }
    cbxDimSize->setCurrentText(kDefault);
    cbxBits->setEnabled(profile->BitsSelectable);
    cbxBits->setCurrentIndex(0);
    edtLUTFile->setEnabled(true);
    btnSetLUTFile->setEnabled(true);
    if (!edtLUTFile->text().isEmpty())
        edtLUTFile->setText(ChangeFileExt(edtLUTFile->text(), FromStd(profile->Extension)));
}

void TfrmSaveLut::btnSetLUTFileClick() {
    const TLutOutputProfile* profile = SelectedProfile();
    if (!profile) return;
    const QString extension = FromStd(profile->Extension);
    const QString filter = FromStd(profile->Name) + QStringLiteral("|*.") + extension;
    const QString fileName = SaveFileOfKind(TFileKind::LutExport, this, QStringLiteral("Save LUT file"),
                                            SuggestedLutName(lookName_, *profile), filter, extension);
    if (fileName.isEmpty()) return;
    edtLUTFile->setText(fileName);
    btnSave->setEnabled(true);
}

int TfrmSaveLut::ChosenSize() const {
    const TLutOutputProfile* profile = SelectedProfile();
    if (!profile) throw EError("No output LUT format is chosen.");
    const QString text = cbxDimSize->currentText().trimmed();
    if (!cbxDimSize->isEnabled() || text == kDefault) return profile->DefaultSize;
    bool isNumber = false;
    const int size = text.toInt(&isNumber);
    if (!isNumber || size < kMinLookCubeSize || size > kMaxCubeSize)
        throw EError("The LUT dimension size must be a number from 2 to 101.");
    return size;
}

int TfrmSaveLut::ChosenBits() const {
    const TLutOutputProfile* profile = SelectedProfile();
    if (!profile) throw EError("No output LUT format is chosen.");
    const int bits = cbxBits->currentData().toInt();
    if (!cbxBits->isEnabled() || bits == 0) return profile->DefaultBits;
    return bits;
}

void TfrmSaveLut::btnSaveClick() {
    const TLutOutputProfile* profile = SelectedProfile();
    if (!profile || edtLUTFile->text().isEmpty()) return;
    const int size = ChosenSize();
    const int bits = ChosenBits();
    {
        TBusyCursor busy;
        const TLutFile file{QFile::encodeName(edtLUTFile->text()).toStdString(), profile, size, bits};
        if (learned_)
            ExportLutFile(learned_(size), file);
        else
            ExportLookFile(settings_, file, footage_);
    }
    UserSettings().setValue(kLutExportProfileKey, FromStd(profile->Name));
    ShowSaved(parentWidget(), edtLUTFile->text());
    accept();
}

// The size box holds "Default" or up to five digits: typing replaces the word
// "Default", other characters than digits are dropped.
bool TfrmSaveLut::cbxDimSizeKeyPress(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Backspace) {
        if (cbxDimSize->currentText() == kDefault) cbxDimSize->setEditText(QString());
        return false;
    }
    if (!IsTypedCharacter(key)) return false;
    if (cbxDimSize->currentText() == kDefault) cbxDimSize->setEditText(QString());
    const QChar typed = key.text()[0];
    const bool isDigit = typed >= '0' && typed <= '9';
    return !(isDigit && cbxDimSize->currentText().size() < kMaxSizeDigits);
}

void TfrmSaveLut::cbxDimSizeKeyDown(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Delete && cbxDimSize->currentText() == kDefault) cbxDimSize->setEditText(QString());
}

bool TfrmSaveLut::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (key.key() == Qt::Key_Alt) return true;
    if (watched == cbxDimSize || watched == cbxDimSize->lineEdit()) {
        cbxDimSizeKeyDown(key);
        if (cbxDimSizeKeyPress(key)) return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ShowSaveLutDialog(const TLookSettings& settings, QWidget* parent, const TFootageConversion* footage,
                       const QString& lookName) {
    TfrmSaveLut dialog(settings, parent, footage);
    dialog.SetLookName(lookName);
    dialog.exec();
}

QString LookName(const TGradingSession& state) {
    if (!state.Reference().isEmpty())
        return FromStd(TReferenceLibrary::CaptionOf(QFileInfo(state.Reference()).fileName().toStdString()));
    if (state.PreviewLut()) return QFileInfo(state.PreviewLutName()).completeBaseName();
    return QString();
}

QString SuggestedLutName(const QString& lookName, const TLutOutputProfile& profile) {
    const QString name = lookName.isEmpty() ? FromStd(profile.Name) : lookName + " - " + FromStd(profile.Name);
    return SafeFileName(name) + '.' + FromStd(profile.Extension);
}
