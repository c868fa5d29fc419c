#include "runtime/qco_menu.h"

#include <cadhost/arx.h>
#include <cadhost/services.h>
#include <qmenv/environment.h>
#include <qmsys/files.h>

#include "environment/diagnostic_log.h"
#include "environment/names.h"
#include "runtime/menu_group_automation.h"

namespace qm {
namespace {

constexpr std::string_view kLogCategory = "qco";
constexpr std::string_view kCaption = "Create QCO files";
// Compiled files the host derives from the .mnu copy, after its dot.
constexpr std::string_view kCompiledCompanions[] = {"mns", "mnc", "mnr", "cui", "cuix"};

std::string copyFailureText(const std::string& source, const std::string& copy,
                            qmsys::WinError error) {
    return "Could not copy file from \n\"" + source + "\"\nto\n\"" + copy +
           "\"\n\nError msg: " + std::to_string(static_cast<int>(error));
}

bool sameStampAndSize(const std::string& source, const std::string& copy) {
    qmsys::FileAttributes a;
    qmsys::FileAttributes b;
    if (qmsys::getFileAttributes(source, a) != qmsys::kErrorSuccess ||
        qmsys::getFileAttributes(copy, b) != qmsys::kErrorSuccess) {
        return true;  // cannot compare: the copy is used as it is
    }
    return a.lastWriteNs == b.lastWriteNs &&
           static_cast<std::uint32_t>(a.size) == static_cast<std::uint32_t>(b.size);
}

}  // namespace

bool QcoMenu::loadQcoMenu() {
    const std::string source = QmEnBuildFilename(names::kQcoSourceMenu, kQmEnBaseAppPath, 0);
    if (!QmEnFileExist(source, true)) {
        log_.write(kLogCategory, "installed menu \"" + source + "\" is missing");
        return false;
    }
    const std::string copy = QmEnBuildFilename(names::kQcoUserMenu, kQmEnBaseUserData, 0);

    std::string groupName(names::kGroupQco);
    if (automation_.FindMenuGroupByFile(copy, groupName)) {
        return true;
    }

    const bool current = QmEnFileExist(copy, false) && sameStampAndSize(source, copy);
    if (!current && !replaceCopy(source, copy)) {
        return false;
    }

    qmsys::FileAttributes attributes;
    if (qmsys::getFileAttributes(copy, attributes) == qmsys::kErrorSuccess && attributes.readOnly) {
        qmsys::setReadOnly(copy, false);
    }
    if (!automation_.LoadMenuGroupFile(copy, groupName)) {
        log_.write(kLogCategory, "menu \"" + copy + "\" could not be loaded");
    }
    return true;
}

bool QcoMenu::replaceCopy(const std::string& source, const std::string& copy) {
    if (QmEnFileExist(copy, false)) {
        if (const qmsys::WinError err = qmsys::deleteFile(copy); err != qmsys::kErrorSuccess) {
            log_.write(kLogCategory, "stale copy \"" + copy + "\" cannot be deleted (error " +
                                         std::to_string(err) + ")");
            return false;
        }
        const std::string stem = copy.substr(0, copy.size() - 3);
        for (std::string_view companion : kCompiledCompanions) {
            const std::string compiled = stem + std::string(companion);
            if (!QmEnFileExist(compiled, false)) {
                continue;
            }
            if (const qmsys::WinError err = qmsys::deleteFile(compiled);
                err != qmsys::kErrorSuccess) {
                log_.write(kLogCategory, "compiled menu \"" + compiled +
                                             "\" cannot be deleted (error " + std::to_string(err) +
                                             ")");
                return false;
            }
        }
    }

    // A user who has never had a menu provisioned has no menus folder yet; a missing folder
    // is no reason to fail. Whatever else is wrong shows in the copy's own error.
    const std::size_t slash = copy.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        qmsys::createDirectories(copy.substr(0, slash));
    }
    const qmsys::WinError err = qmsys::copyFile(source, copy, false);
    if (err != qmsys::kErrorSuccess && err != qmsys::kErrorFileExists &&
        err != qmsys::kErrorAlreadyExists) {
        const std::string text = copyFailureText(source, copy, err);
        log_.write(kLogCategory, text);
        cadhost::messageBox(acedGetAcadFrame(), text, std::string(kCaption),
                            cadhost::MB_ICONERROR | cadhost::MB_OK);
        return false;
    }
    return true;
}

bool QcoMenu::unloadQcoMenu() {
    const std::string group(names::kGroupQco);
    if (!automation_.UnloadMenuGroupByName(group)) {
        log_.write(kLogCategory, "menu group \"" + group + "\" was not unloaded");
    }
    return true;
}

}  // namespace qm
