// SPDX-License-Identifier: GPL-3.0-or-later
// The reasons the program gives for a file that could not be read or written.
#include "platform/file_errors.h"

#include <cerrno>
#include <cstring>

namespace trelvan {

std::string errorReason(int error) {
    switch (error) {
        case notRegularFile:
            return "это не обычный файл";
        case shortWrite:
            return "записана только часть данных";
        case lockedByOther:
            return "файл занят другой программой";
        case danglingLink:
            return "символическая ссылка ведёт к несуществующему файлу";
        case EACCES:
        case EPERM:
            return "нет доступа";
        case ENOENT:
            return "нет такого файла или каталога";
        case ENOTDIR:
            return "часть пути не является каталогом";
        case EISDIR:
            return "это каталог";
        case EROFS:
            return "файловая система только для чтения";
        case ENOSPC:
            return "нет места на диске";
        case EDQUOT:
            return "превышена дисковая квота";
        case EFBIG:
            return "файл слишком велик";
        case EIO:
            return "ошибка ввода-вывода";
        case ENAMETOOLONG:
            return "слишком длинное имя файла";
        case ENXIO:
            return "нет устройства или адреса";
        case ELOOP:
            return "слишком много символических ссылок";
        default:
            return std::strerror(error);
    }
}

}  // namespace trelvan
