#include "System/Net/Net.h"

#include <cerrno>

namespace System::Net {

int Net::GetErrorId() {
    return errno;
}

String Net::GetError() {
    return GetError(errno);
}

String Net::GetError(int errorId) {
    switch (errorId) {
        case 4:
            return "Interrupted function call";
        case 11:
            return "Resource temporarily unavailable";
        case 13:
            return "Permission Denied: Access in use";
        case 14:
            return "Bad address";
        case 22:
            return "Invalid argument";
        case 24:
            return "Too many open files";
        case 88:
            return "Socket operation on nonsocket";
        case 89:
            return "Destination address required";
        case 90:
            return "Message too long";
        case 91:
            return "Protocol wrong type for socket";
        case 92:
            return "Bad protocol option";
        case 93:
            return "Protocol not supported";
        case 94:
            return "Socket type not supported";
        case 95:
            return "Operation not supported";
        case 96:
            return "Protocol family not supported";
        case 97:
            return "Address family not supported by protocol family";
        case 98:
            return "Address already in use";
        case 99:
            return "Cannot assign requested address";
        case 100:
            return "Network is down";
        case 101:
            return "Network is unreachable";
        case 102:
            return "Network dropped connection on reset";
        case 103:
            return "Software caused connection abort";
        case 104:
            return "Connection reset by peer";
        case 105:
            return "No buffer space available";
        case 106:
            return "Socket is already connected";
        case 107:
            return "Socket is not connected";
        case 108:
            return "Cannot send after socket shutdown";
        case 110:
            return "Connection timed out";
        case 111:
            return "Connection refused";
        case 112:
            return "Host is down";
        case 113:
            return "No route to host";
        case 114:
            return "Operation already in progress";
        case 115:
            return "Operation now in progress";
        default:
            return "";
    }
}

}  // namespace System::Net
