#pragma once
// The first page: the machine's volumes and physical drives in one tree (plus disk images the
// user adds), the kinds of files wanted, and Next into the volume or the drive path of the wizard.

#include <deque>
#include <string>
#include <vector>

#include "app/WizardPage.h"
#include "disk/DeviceEnumeration.h"

class QCheckBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class Physical_DriveDialog final : public WizardPage {
    Q_OBJECT
public:
    enum class ImageRole { Drive, Volume, Guess };

    Physical_DriveDialog();

    /// Adds a disk image: as a drive (its partitions are walked) or as a volume (read as one file
    /// system); Guess takes a volume when its first sector is a known boot sector. The new item is
    /// selected and says how it is read. False when the file cannot be opened.
    bool addImage(const QString& path, ImageRole role);
    /// Reads an added image the other way (a disk as a volume, a volume as a disk): its right-click menu.
    void readImageOtherWay(QTreeWidgetItem* item);

    /// What later pages read: the selected drive's path, the selected volume's record.
    std::string selectedDrivePath() const;
    const VolumeRecord* selectedVolume() const;
    QString selectedText() const;

    QTreeWidget* tree() const { return tree_; }
    QCheckBox* photoBox() const { return photo_; }
    QCheckBox* audioBox() const { return audio_; }
    QCheckBox* videoBox() const { return video_; }
    QTreeWidgetItem* volumesRoot() const { return volumesRoot_; }
    QTreeWidgetItem* drivesRoot() const { return drivesRoot_; }
    /// "Run as administrator", shown when some drive or volume cannot be read by this user.
    QPushButton* adminButton() const { return admin_; }

public slots:
    void next();
    void addImageClicked();
    /// Copies the selected drive or volume into an image file (CreateImageDialog), then adds it.
    void createImageClicked();
    /// Straight to the raw recovery page over the whole selected drive, volume or image.
    void searchBySignatures();

private:
    QTreeWidgetItem* addDriveItem(const PhysicalDrive& drive);
    QTreeWidgetItem* addVolumeItem(const VolumeRecord& record);
    /// Greys out an item whose device this user may not read; true when it did.
    bool markWhenUnreadable(QTreeWidgetItem* item, const std::string& devicePath);

    QTreeWidget* tree_;
    QTreeWidgetItem* volumesRoot_;
    QTreeWidgetItem* drivesRoot_;
    QCheckBox* photo_;
    QCheckBox* audio_;
    QCheckBox* video_;
    QPushButton* admin_;
    std::vector<PhysicalDrive> drives_;
    std::deque<VolumeRecord> volumes_;  // items refer to records by position; a deque keeps them in place
};
