#include "data/errors.h"

namespace mg {

const char* errorText(int code) {
    switch (code) {
    case NoError: return "";
    case NoFileError: return "File Not Found";
    case IsLockedErr: return "File Is Locked";
    case NotFoundErr: return "Record Not Available";
    case NoRecErr: return "Record Not Found";
    case DupKeyErr: return "Creates Duplicate Key";
    case BadKeyErr: return "Invalid Key File";
    case BadFileErr: return "Invalid File Declaration";
    case IsOpenErr: return "File Already Open";
    case RecordChangedErr: return "Record Changed By Another Station";
    case FileSystemErr: return "File System Error";
    default: return "Unknown Error";
    }
}

}  // namespace mg
