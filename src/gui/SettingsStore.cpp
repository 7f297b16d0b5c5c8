#include "gui/SettingsStore.h"

#include <QSettings>
#include <QString>

StoredSettings ReadStoredSettings()
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganisation, kSettingsApplication);
    StoredSettings stored;
    if (store.contains("FindAllComms")) {
        bool isNumber = false;
        const int number = store.value("FindAllComms").toInt(&isNumber);
        stored.findAllComms = isNumber ? number != 0 : store.value("FindAllComms").toBool();
    }
    if (store.contains("CommPort")) {
        stored.hasCommPort = true;
        stored.commPort = store.value("CommPort").toString().toStdString();
    }
    return stored;
}

void WriteStoredSettings(bool findAllComms, bool verbose, const std::string& commPort)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganisation, kSettingsApplication);
    store.setValue("FindAllComms", static_cast<qint32>(findAllComms ? 1 : 0));
    store.setValue("VerboseLog", static_cast<qint32>(verbose ? 1 : 0));
    store.setValue("CommPort", QString::fromStdString(commPort));
    store.sync();
}
