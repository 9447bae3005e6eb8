#include "pages/Physical_DriveDialog.h"

#include "app/PageNumbers.h"
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <vector>

#include "app/CVantrelApp.h"
#include "browser/TypeLists.h"
#include "disk/BootSectorProbe.h"
#include "disk/SourceOpener.h"
#include "disk/StatedSize.h"
#include "pages/CreateImageDialog.h"
#include "pages/DriveParsingModes.h"
#include "pages/NextPages.h"
#include "pages/VolumeOperations.h"

namespace {
enum ItemKind { DriveItem = 1, VolumeItem = 2 };
constexpr int kKindRole = Qt::UserRole;
constexpr int kIndexRole = Qt::UserRole + 1;
constexpr int kImagePathRole = Qt::UserRole + 2;  ///< an image the user added, to read it the other way
}  // namespace

Physical_DriveDialog::Physical_DriveDialog()
    : tree_(new QTreeWidget), photo_(new QCheckBox(QStringLiteral("Photo"))),
      audio_(new QCheckBox(QStringLiteral("Audio"))), video_(new QCheckBox(QStringLiteral("Video"))),
      admin_(new QPushButton(QStringLiteral("Run as administrator"))) {
    auto* group = new QGroupBox(QStringLiteral("Currently system contains:"));
    auto* groupLayout = new QVBoxLayout(group);
    tree_->setObjectName(QStringLiteral("driveTree"));
    tree_->setHeaderHidden(true);
    tree_->setIconSize(QSize(16, 16));
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree_, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QTreeWidgetItem* item = tree_->itemAt(at);
        if (item == nullptr || item->data(0, kImagePathRole).isNull())
            return;
        const bool asDrive = item->data(0, kKindRole).toInt() == DriveItem;
        QMenu menu(this);
        QAction* other = menu.addAction(asDrive ? QStringLiteral("Read as a volume") : QStringLiteral("Read as a disk"));
        if (menu.exec(tree_->viewport()->mapToGlobal(at)) == other)
            readImageOtherWay(item);
    });
    groupLayout->addWidget(tree_);
    auto* addImage = new QPushButton(QStringLiteral("Add disk image..."));
    addImage->setObjectName(QStringLiteral("addImageButton"));
    addImage->setAutoDefault(false);
    addImage->setToolTip(QStringLiteral("Recover from an image file of a card or disk (dd, raw, img)."));
    connect(addImage, &QPushButton::clicked, this, &Physical_DriveDialog::addImageClicked);
    admin_->setObjectName(QStringLiteral("adminButton"));
    admin_->setAutoDefault(false);
    admin_->setToolTip(QStringLiteral("Start Pictorva again with the rights to read every drive (asks for the password)."));
    admin_->hide();
    connect(admin_, &QPushButton::clicked, this, [this] { theApp()->restartAsAdministrator(this); });
    auto* createImage = new QPushButton(QStringLiteral("Create disk image..."));
    createImage->setObjectName(QStringLiteral("createImageButton"));
    createImage->setAutoDefault(false);
    createImage->setToolTip(QStringLiteral("Copy the selected drive or volume into an image file first, and recover "
                                           "from the image: for a failing drive, which may not last many readings."));
    connect(createImage, &QPushButton::clicked, this, &Physical_DriveDialog::createImageClicked);
    auto* imageRow = new QHBoxLayout;
    imageRow->addWidget(admin_);
    imageRow->addStretch(1);
    imageRow->addWidget(createImage);
    imageRow->addWidget(addImage);
    groupLayout->addLayout(imageRow);

    auto* hint = new QLabel(QStringLiteral("Select volume or drive to continue the recovery process "));
    auto* scanRow = new QHBoxLayout;
    scanRow->addWidget(new QLabel(QStringLiteral("Scan For :")));
    for (QCheckBox* box : {photo_, audio_, video_}) {
        scanRow->addSpacing(12);
        scanRow->addWidget(box);
    }
    scanRow->addStretch(1);
    body()->addWidget(hint);
    body()->addWidget(group, 1);
    body()->addLayout(scanRow);

    QPushButton* rawButton = addButton(QStringLiteral("Search by file signatures"), "signatureButton");
    rawButton->setToolTip(QStringLiteral("Find photos, audio and video on the whole selected drive, volume or image "
                                         "by their contents: for a formatted or damaged card."));
    connect(rawButton, &QPushButton::clicked, this, &Physical_DriveDialog::searchBySignatures);
    QPushButton* nextButton = addButton(QStringLiteral("Next"), "nextButton");
    connect(nextButton, &QPushButton::clicked, this, &Physical_DriveDialog::next);

    volumesRoot_ = new QTreeWidgetItem(tree_, QStringList(QStringLiteral("     VOLUMES:")));
    drivesRoot_ = new QTreeWidgetItem(tree_, QStringList(QStringLiteral("     PHYSICAL DRIVES:")));
    const CVantrelApp::Devices devices = theApp()->deviceSource();
    bool unreadable = false;
    for (const PhysicalDrive& drive : devices.drives)
        unreadable |= markWhenUnreadable(addDriveItem(drive), drive.devicePath);
    // The records keep their order; the tree shows them last first.
    for (auto it = devices.volumes.rbegin(); it != devices.volumes.rend(); ++it)
        unreadable |= markWhenUnreadable(addVolumeItem(*it), it->deviceName);
    admin_->setVisible(unreadable);
    volumesRoot_->setExpanded(true);
    drivesRoot_->setExpanded(true);
    photo_->setChecked(true);
    audio_->setChecked(true);
    video_->setChecked(true);
}

QTreeWidgetItem* Physical_DriveDialog::addDriveItem(const PhysicalDrive& drive) {
    PhysicalDrive numbered = drive;
    numbered.index = static_cast<int>(drives_.size());
    drives_.push_back(numbered);
    auto* item = new QTreeWidgetItem(drivesRoot_, QStringList(QString::fromStdString(numbered.displayName())));
    item->setIcon(0, style()->standardIcon(QStyle::SP_DriveHDIcon));
    item->setToolTip(0, QString::fromStdString(numbered.devicePath));
    item->setData(0, kKindRole, DriveItem);
    item->setData(0, kIndexRole, numbered.index);
    return item;
}

QTreeWidgetItem* Physical_DriveDialog::addVolumeItem(const VolumeRecord& record) {
    volumes_.push_back(record);
    auto* item = new QTreeWidgetItem(volumesRoot_, QStringList(QString::fromStdString(record.rootPath)));
    item->setIcon(0, style()->standardIcon(QStyle::SP_DriveCDIcon));
    item->setToolTip(0, QString::fromStdString(record.fileSystem + ", " + volumeSizeText(record) + ", " + record.deviceName));
    item->setData(0, kKindRole, VolumeItem);
    item->setData(0, kIndexRole, static_cast<int>(volumes_.size() - 1));
    return item;
}

bool Physical_DriveDialog::markWhenUnreadable(QTreeWidgetItem* item, const std::string& devicePath) {
    if (!theApp()->lacksRights(devicePath))
        return false;
    item->setText(0, item->text(0) + QStringLiteral("  (needs administrator rights)"));
    item->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
    item->setToolTip(0, QString::fromStdString(devicePath) +
                            QStringLiteral(": this user may not read it. Use \"Run as administrator\", or join the disk group."));
    return true;
}

bool Physical_DriveDialog::addImage(const QString& path, ImageRole role) {
    const QFileInfo info(path);
    const std::string file = info.absoluteFilePath().toStdString();
    if (info.isDir()) {
        theApp()->message(QStringLiteral("\"%1\" is a folder, not a disk image. Choose the image file of the card or "
                                         "disk (for example card.img).")
                              .arg(path),
                          QMessageBox::Information, this);
        return false;
    }
    const std::unique_ptr<PositionedSource> source = sourceFor(file, nullptr);
    PositionedSource& probe = *source;
    if (!probe.open(file)) {
        theApp()->message(QStringLiteral("file not opened..\n\n") + path + QStringLiteral(": ") +
                              QString::fromStdString(probe.openFailure()),
                          QMessageBox::Information, this);
        return false;
    }
    if (probe.byteSize() <= 0) {
        theApp()->message(QStringLiteral("\"%1\" is empty (0 bytes): there is nothing in it to recover. Was the copy of "
                                         "the card finished?")
                              .arg(path),
                          QMessageBox::Information, this);
        return false;
    }
    std::vector<unsigned char> first(1536, 0);
    probe.readAt(0, first);
    const ByteView bytes(first.data(), first.size());
    // A cut-off copy is still worth reading, but the user should know why files may be missing.
    if (const std::uint64_t stated = statedMediumBytes(bytes); stated > static_cast<std::uint64_t>(probe.byteSize()))
        theApp()->message(QStringLiteral("\"%1\" is shorter than the disk or volume it holds claims to be (%2 of %3 MB): "
                                         "the image seems cut off. Files in the missing part cannot be recovered; "
                                         "copy the card again if you can.")
                              .arg(path)
                              .arg(probe.byteSize() >> 20)
                              .arg(stated >> 20),
                          QMessageBox::Warning, this);
    const boot_sector::DiskStart disk = boot_sector::diskStart(bytes);
    const bool guessed = role == ImageRole::Guess;
    if (guessed)
        role = disk == boot_sector::DiskStart::Volume ? ImageRole::Volume : ImageRole::Drive;
    QTreeWidgetItem* item = nullptr;
    if (role == ImageRole::Drive) {
        item = addDriveItem(PhysicalDrive{0, file, {}, static_cast<unsigned long long>(probe.byteSize())});
        item->setToolTip(0, QStringLiteral("%1\nRead as a disk%2. Right-click to read it as a volume (one file system).")
                                .arg(path, guessed && disk != boot_sector::DiskStart::Unknown ? QStringLiteral(": it holds a partition table")
                                                                        : QString()));
    } else {
        VolumeRecord record = boot_sector::recognisedVolume(bytes);
        record.rootPath = record.deviceName = file;
        record.sizeBytes = static_cast<std::uint64_t>(std::max<std::int64_t>(probe.byteSize(), 0));
        item = addVolumeItem(record);
        item->setToolTip(0, QStringLiteral("%1\nRead as a volume%2. Right-click to read it as a disk (a partition table "
                                           "and its volumes).")
                                .arg(path, guessed ? QStringLiteral(": it starts with a file system") : QString()));
    }
    item->setData(0, kImagePathRole, path);
    tree_->setCurrentItem(item);
    return true;
}

void Physical_DriveDialog::addImageClicked() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Add disk image"), QString(),
        QStringLiteral("Disk images (*.img *.dd *.raw *.bin *.iso *.dmg *.image *.E01 *.e01 *.Ex01 *.vmdk *.vhd *.vhdx "
                       "*.qcow2 *.qcow *.000 *.001 *.aa);;"
                       "Raw disk images (*.img *.dd *.raw *.bin *.iso *.dmg *.image);;"
                       "Forensic images, EWF (*.E01 *.e01 *.Ex01);;"
                       "Virtual machine disks, VMDK VHD VHDX QCOW2 (*.vmdk *.vhd *.vhdx *.qcow2 *.qcow);;"
                       "Split raw images, first piece (*.000 *.001 *.aa);;All files (*)"));
    if (!path.isEmpty())
        addImage(path, ImageRole::Guess);  // its first sectors tell disk from volume; the menu changes it
}

void Physical_DriveDialog::createImageClicked() {
    const VolumeRecord* volume = selectedVolume();
    const QString source = QString::fromStdString(volume != nullptr ? volume->deviceName : selectedDrivePath());
    if (source.isEmpty()) {
        theApp()->message(QStringLiteral("Select the drive or volume to copy into an image first.."),
                          QMessageBox::Information, this);
        return;
    }
    // An existing name is taken only to go on with its copy (its map beside it); nothing is replaced.
    const QString image = QFileDialog::getSaveFileName(
        this, QStringLiteral("Create disk image of %1").arg(source),
        QDir::home().filePath(QFileInfo(source).completeBaseName() + QStringLiteral(".img")),
        QStringLiteral("Raw disk images (*.img);;All files (*)"), nullptr, QFileDialog::DontConfirmOverwrite);
    if (image.isEmpty())
        return;
    auto* dialog = new CreateImageDialog(source, image, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &CreateImageDialog::imageDone, this, [this, image](bool ready) {
        if (ready)
            addImage(image, ImageRole::Guess);
    });
    if (dialog->start())
        dialog->open();
    else
        delete dialog;
}

void Physical_DriveDialog::readImageOtherWay(QTreeWidgetItem* item) {
    const QString path = item->data(0, kImagePathRole).toString();
    const ImageRole other = item->data(0, kKindRole).toInt() == DriveItem ? ImageRole::Volume : ImageRole::Drive;
    delete item;  // its record stays behind unreferenced: items find records by position
    addImage(path, other);
}

std::string Physical_DriveDialog::selectedDrivePath() const {
    const QTreeWidgetItem* item = tree_->currentItem();
    if (item == nullptr || item->data(0, kKindRole).toInt() != DriveItem)
        return {};
    const int index = item->data(0, kIndexRole).toInt();
    return index >= 0 && index < static_cast<int>(drives_.size()) ? drives_[static_cast<std::size_t>(index)].devicePath
                                                                   : std::string();
}

const VolumeRecord* Physical_DriveDialog::selectedVolume() const {
    const QTreeWidgetItem* item = tree_->currentItem();
    if (item == nullptr || item->data(0, kKindRole).toInt() != VolumeItem)
        return nullptr;
    const int index = item->data(0, kIndexRole).toInt();
    return index >= 0 && index < static_cast<int>(volumes_.size()) ? &volumes_[static_cast<std::size_t>(index)]
                                                                    : nullptr;
}

QString Physical_DriveDialog::selectedText() const {
    const QTreeWidgetItem* item = tree_->currentItem();
    return item != nullptr ? item->text(0) : QString();
}

void Physical_DriveDialog::next() {
    CVantrelApp& app = *theApp();
    app.typePattern = typePatternFor(photo_->isChecked(), audio_->isChecked(), video_->isChecked());
    const QTreeWidgetItem* item = tree_->currentItem();
    const int kind = item != nullptr ? item->data(0, kKindRole).toInt() : 0;
    app.replaceSource();
    if (kind == VolumeItem) {
        app.volumeSelected = 1;
        showNext(new VolumeOperations(this));
    } else if (kind == DriveItem) {
        app.volumeSelected = 0;
        showNext(new DriveParsingModes(this));
    } else {
        app.message(QStringLiteral("Please select a volume or a drive.."), QMessageBox::Information, this);
    }
}

void Physical_DriveDialog::searchBySignatures() {
    CVantrelApp& app = *theApp();
    if (selectedDrivePath().empty() && selectedVolume() == nullptr) {
        app.message(QStringLiteral("Please select a volume or a drive.."), QMessageBox::Information, this);
        return;
    }
    app.replaceSource();
    app.volumeSelected = selectedVolume() != nullptr ? 1 : 0;
    showNext(createRawRecoveryPage(this, kDrivesPageNumber));
}
