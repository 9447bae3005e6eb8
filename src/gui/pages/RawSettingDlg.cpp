#include "pages/RawSettingDlg.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QHeaderView>
#include <QTableWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <filesystem>
#include <system_error>

#include "pages/RawPageNotifier.h"
#include "raw/SignatureLayout.h"
#include "raw/SignatureTable.h"

namespace {
struct FieldRow {
    const char* label;
    const char* help;
    bool digitsOnly;
};

// In the editor's order; the help texts are the "?" buttons' tooltips.
constexpr FieldRow kRows[RawSettingDlg::FieldCount] = {
    {"File Extension :",
     "Enter file extension .\n Example 'jpg','mp3','avi',..etc.\n Do not put a dot(.) before extension(i.e .mp3)", false},
    {"Starting Signature :",
     "here enter the file signature that happens to be in the starting of the file.\n example 0x89,0x50,0x4E,0x47  for "
     "png File",
     false},
    {"Starting Signature Offset:",
     "Here enter offset of starting signature in File.Value should be less than 512.By default its zero.", false},
    {"Ending Signature :",
     "here enter the file signature that happens to be in the end of the file.\n Example "
     "0x49,0x45,0x4E,0x44,0xAE,0x42,0x60,0x82 for png File.\n its optional Field .you can leave it if you don't know .",
     false},
    {"Offset to Size Byte :",
     "if  the size of file is given in the header and you know its offset please enter that offset here.\n its optional "
     "Field .you can leave it if you don't know.",
     true},
    {"Number Of Bytes In Size :",
     "if  you know how many bytes represents size please enter that number of bytes  here.\n its optional Field .you can "
     "leave it if you  don't know.",
     true},
    {"Header size :",
     "please enter the header size in bytes here.\n its optional Field .you can leave it if you don't know.", true},
    {"Size_to_skip_WhileParsing :",
     "when we find the file signature you mentioned  above we can skip further file scanning by an amount you enter "
     "here.\n For example mp3 are generally greater than 2 mb .so you can enter 2097152 bytes here.\n its optional Field "
     ".you can leave it .",
     true},
    {"Approx file size :", "Enter approx file size here.\n its optional Field .you can leave it if you don't know.", true},
    {"Put Under Category :", "Enter the name of category you want to put these files under", false},
};

constexpr const char* kIncludesHeaderHelpText =
    "check this check box if the size also includes the header size else leave it.\n its optional Field .you can leave it "
    "if you don't know.";

constexpr const char* kTextFilter = "Text Files (*.txt);;All Files (*)";
constexpr std::size_t kMaxRecords = 256;  // the record index is one byte
}  // namespace

RawSettingDlg::RawSettingDlg(QWidget* parent)
    : QDialog(parent), leaving_(std::make_shared<std::atomic<bool>>(false)),
      includesHeader_(new QCheckBox(QStringLiteral("Size includes header size"))), path_(new QLineEdit),
      entriesCaption_(new QLabel), entries_(new QTableWidget), saveEntry_(new QPushButton(QStringLiteral("Save Entry"))) {
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    setModal(true);
    notifier_ = std::make_unique<RawPageNotifier>(this, leaving_);
    auto* layout = new QVBoxLayout(this);

    auto* grid = new QGridLayout;
    const auto makeHelp = [this](int which) {
        auto* button = new QToolButton;
        button->setText(QStringLiteral("?"));
        button->setObjectName(QStringLiteral("help%1").arg(which));
        button->setAutoRaise(true);
        connect(button, &QToolButton::clicked, this, [this, which] { showHelp(which); });
        help_[static_cast<std::size_t>(which)] = button;
        return button;
    };
    const QRegularExpression digits(QStringLiteral("[0-9]*"));
    int row = 0;
    for (int f = 0; f < FieldCount; ++f, ++row) {
        auto* edit = new QLineEdit;
        edit->setObjectName(QStringLiteral("field%1").arg(f));
        if (kRows[f].digitsOnly)
            edit->setValidator(new QRegularExpressionValidator(digits, edit));
        fields_[static_cast<std::size_t>(f)] = edit;
        grid->addWidget(new QLabel(QString::fromLatin1(kRows[f].label)), row, 0);
        grid->addWidget(edit, row, 1);
        QToolButton* help = makeHelp(f);
        // The start offset's help is set when its button is first clicked.
        if (f != StartOffset)
            help->setToolTip(QString::fromLatin1(kRows[f].help));
        grid->addWidget(help, row, 2);
        if (f == SizeByteCount) {
            ++row;
            grid->addWidget(includesHeader_, row, 1);
            QToolButton* includesHelp = makeHelp(kIncludesHeaderHelp);
            includesHelp->setToolTip(QString::fromLatin1(kIncludesHeaderHelpText));
            grid->addWidget(includesHelp, row, 2);
        }
    }
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
    fields_[StartSignature]->setPlaceholderText(QStringLiteral("0x89,0x50,0x4E,0x47"));

    auto* fileGroup = new QGroupBox(QStringLiteral("Select Path to Save Entries"));
    auto* fileLayout = new QHBoxLayout(fileGroup);
    path_->setReadOnly(true);
    path_->setObjectName(QStringLiteral("settingsFilePath"));
    auto* newFile = new QPushButton(QStringLiteral("Save in \nnew File"));
    auto* existingFile = new QPushButton(QStringLiteral("Save in \nExisting File"));
    newFile->setObjectName(QStringLiteral("newFileButton"));
    existingFile->setObjectName(QStringLiteral("existingFileButton"));
    fileLayout->addWidget(path_, 1);
    fileLayout->addWidget(newFile);
    fileLayout->addWidget(existingFile);
    layout->addWidget(fileGroup);

    entries_->setObjectName(QStringLiteral("entryList"));
    entries_->setColumnCount(11);
    entries_->setHorizontalHeaderLabels({QStringLiteral("Extension"), QStringLiteral("Start"), QStringLiteral("Offset"),
                                         QStringLiteral("End"), QStringLiteral("Size at"), QStringLiteral("Size bytes"),
                                         QStringLiteral("Header"), QStringLiteral("Incl."), QStringLiteral("Skip"),
                                         QStringLiteral("Approx"), QStringLiteral("Category")});
    entries_->verticalHeader()->hide();
    entries_->verticalHeader()->setDefaultSectionSize(entries_->fontMetrics().height() + 6);
    entries_->horizontalHeader()->setStretchLastSection(true);
    entries_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    entries_->setSelectionBehavior(QAbstractItemView::SelectRows);
    entries_->setMinimumHeight(120);
    layout->addWidget(entriesCaption_);
    layout->addWidget(entries_);

    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("OK"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    saveEntry_->setObjectName(QStringLiteral("saveEntryButton"));
    saveEntry_->setToolTip(QStringLiteral("Save"));
    ok->setToolTip(QStringLiteral("OK"));
    cancel->setToolTip(QStringLiteral("Cancel"));
    buttons->addStretch(1);
    for (QPushButton* button : {saveEntry_, ok, cancel, newFile, existingFile})
        button->setAutoDefault(false);
    buttons->addWidget(saveEntry_);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(newFile, &QPushButton::clicked, this, &RawSettingDlg::saveInNewFile);
    connect(existingFile, &QPushButton::clicked, this, &RawSettingDlg::saveInExistingFile);
    connect(saveEntry_, &QPushButton::clicked, this, &RawSettingDlg::saveEntry);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::finished, this, &RawSettingDlg::closeFile);
    refreshEntries();
    resize(sizeHint().expandedTo(QSize(640, 0)));
}

RawSettingDlg::~RawSettingDlg() {
    *leaving_ = true;
    closeFile();
}

void RawSettingDlg::closeFile() { filePath_.clear(); }

void RawSettingDlg::showHelp(int which) {
    QToolButton* button = help_[static_cast<std::size_t>(which)];
    const QString text =
        QString::fromLatin1(which == kIncludesHeaderHelp ? kIncludesHeaderHelpText : kRows[which].help);
    button->setToolTip(text);
    QToolTip::showText(button->mapToGlobal(QPoint(0, button->height())), text, button);
}

SignatureFields RawSettingDlg::fields() const {
    const auto text = [this](Field f) { return fields_[f]->text().toStdString(); };
    SignatureFields result;
    result.extension = text(Extension);
    result.startSignature = text(StartSignature);
    result.startOffset = text(StartOffset);
    result.endSignature = text(EndSignature);
    result.sizeOffset = text(SizeOffset);
    result.sizeByteCount = text(SizeByteCount);
    result.headerSize = text(HeaderSize);
    result.sizeIncludesHeader = includesHeader_->isChecked();
    result.skipSize = text(SkipSize);
    result.approxSize = text(ApproxSize);
    result.category = text(Category);
    return result;
}

bool RawSettingDlg::openSettingsFile(const QString& path, bool existing) {
    closeFile();
    path_->clear();
    entries_->setRowCount(0);
    const std::string name = path.toStdString();
    // An existing file keeps its entries: choosing it to add one must not wipe the others. Every
    // entry is then written through the one writer, which replaces the file whole.
    if (existing) {
        std::error_code error;
        const std::uintmax_t length = std::filesystem::file_size(name, error);
        if (error) {
            notifier_->inform("File can not be created\n" + name + ": " + error.message());
            return false;
        }
        if (length % signature_layout::kRecordSize != 0) {
            notifier_->inform("Please select a valid file..");
            return false;
        }
    } else if (!writeSignatureFile(name, {}, false, *notifier_)) {
        notifier_->inform("File can not be created\n" + name);
        return false;
    }
    filePath_ = path;
    path_->setText(path);
    refreshEntries();
    return true;
}

void RawSettingDlg::saveInNewFile() { chooseAndOpen(false); }

void RawSettingDlg::saveInExistingFile() { chooseAndOpen(true); }

void RawSettingDlg::chooseAndOpen(bool existing) {
    const std::function<QString()>& chooser = existing ? existingFileChooser : newFileChooser;
    const QString title = QString::fromLatin1(kApplicationTitle), filter = QString::fromLatin1(kTextFilter);
    const QString chosen = chooser            ? chooser()
                           : existing         ? QFileDialog::getOpenFileName(this, title, QString(), filter)
                                              : QFileDialog::getSaveFileName(this, title, QString(), filter);
    if (chosen.isEmpty()) {
        notifier_->inform("File can not be created");
        return;
    }
    openSettingsFile(chosen, existing);
}

void RawSettingDlg::saveEntry() {
    std::error_code error;
    if (fileOpen() && std::filesystem::file_size(filePath_.toStdString(), error) >= kMaxRecords * signature_layout::kRecordSize &&
        !error) {
        // A 257th record would carry index 0 and hide every record before it.
        notifier_->inform("The file already holds 256 entries, the most a signature file can hold.");
        return;
    }
    if (!fileOpen()) {
        notifier_->inform("File not found for saving entry.");
        return;
    }
    if (addSignatureRecordToFile(filePath_.toStdString(), fields(), *notifier_))
        refreshEntries();
}

QString RawSettingDlg::entryListCaption() const { return entriesCaption_->text(); }

void RawSettingDlg::refreshEntries() {
    entries_->setRowCount(0);
    SilentNotifier silent;
    std::optional<std::vector<SignatureRecord>> records;
    if (fileOpen()) {
        entriesCaption_->setText(QStringLiteral("Entries in the file:"));
        records = readSignatureFile(filePath_.toStdString(), SignatureFileRole::User, silent);
    } else {
        const std::string path = defaultSignatureFilePath();
        entriesCaption_->setText(QStringLiteral("Entries of the default set (%1):").arg(QString::fromStdString(path)));
        records = readSignatureFile(path, SignatureFileRole::Default, silent);
    }
    if (!records)
        return;
    for (const SignatureRecord& record : *records) {
        const int row = entries_->rowCount();
        entries_->insertRow(row);
        const QStringList cells = QString::fromStdString(signatureTableLine(record)).split(QLatin1Char('\t'));
        for (int column = 0; column < cells.size() && column < entries_->columnCount(); ++column)
            entries_->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    entries_->resizeColumnsToContents();
}
