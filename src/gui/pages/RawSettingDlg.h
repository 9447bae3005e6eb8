#pragma once
// The signature editor: writes signature settings files record by record. The user opens a new
// file or an existing one, fills the fields and saves each entry; the records are built and
// checked by appendSignatureRecord and written by writeSignatureFile. Lists the records the open file holds (before a file is
// open, those of the default set).

#include <QDialog>
#include <array>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>

#include "raw/SignatureFile.h"

class QCheckBox;
class QLineEdit;
class QLabel;
class QTableWidget;
class QPushButton;
class QToolButton;

class RawSettingDlg final : public QDialog {
    Q_OBJECT
public:
    enum Field { Extension, StartSignature, StartOffset, EndSignature, SizeOffset, SizeByteCount, HeaderSize,
                 SkipSize, ApproxSize, Category, FieldCount };
    /// The "?" buttons: one per field, plus the one beside "Size includes header size".
    static constexpr int kIncludesHeaderHelp = FieldCount;

    explicit RawSettingDlg(QWidget* parent = nullptr);
    ~RawSettingDlg() override;

    /// The editor's fields as appendSignatureRecord takes them.
    SignatureFields fields() const;
    /// Opens path for the entries: a new file is created empty; an existing one keeps its entries
    /// and gets the new ones after them. False (message shown) when it cannot be used.
    bool openSettingsFile(const QString& path, bool existing);
    bool fileOpen() const { return !filePath_.isEmpty(); }

    QLineEdit* field(Field which) const { return fields_[which]; }
    QCheckBox* includesHeaderBox() const { return includesHeader_; }
    QToolButton* helpButton(int which) const { return help_[which]; }
    QLineEdit* pathEdit() const { return path_; }
    /// The entries of the open file, or of the default set while no file is open.
    QTableWidget* entryList() const { return entries_; }
    QString entryListCaption() const;
    QPushButton* saveEntryButton() const { return saveEntry_; }

    // The file dialogs; tests replace them.
    std::function<QString()> newFileChooser;
    std::function<QString()> existingFileChooser;

public slots:
    void saveInNewFile();
    void saveInExistingFile();
    void saveEntry();

private:
    /// Asks for a file (a new one or an existing one) and opens it for the entries.
    void chooseAndOpen(bool existing);
    void closeFile();
    void refreshEntries();
    void showHelp(int which);

    QString filePath_;
    std::shared_ptr<std::atomic<bool>> leaving_;
    std::unique_ptr<class Notifier> notifier_;
    std::array<QLineEdit*, FieldCount> fields_{};
    std::array<QToolButton*, FieldCount + 1> help_{};
    QCheckBox* includesHeader_;
    QLineEdit* path_;
    QLabel* entriesCaption_;
    QTableWidget* entries_;
    QPushButton* saveEntry_;
};
