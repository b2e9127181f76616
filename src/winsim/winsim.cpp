#include "winsim/winsim.h"

#include "winsim/cdsim.h"
#include "winsim/sgdrive.h"
#include "winsim/winsim_control.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

constexpr int MAX_OPEN_DRIVES = 8;
constexpr int LETTERS = 26;

// A drive the tool opened: a disc image in the simulated drive, or a real
// drive's device node.
struct open_drive {
    bool in_use;
    int node_fd; // -1: the simulated drive
    cdsim_drive drive;
};

open_drive open_drives[MAX_OPEN_DRIVES];
int drive_type_override[LETTERS]; // 0: none, else the type + 1
bool logging = false;
std::vector<winsim_call> call_log;
std::vector<winsim_fault> faults;
DWORD last_error = 0;

int letter_index(char letter) {
    if (letter >= 'A' && letter <= 'Z') {
        return letter - 'A';
    }
    if (letter >= 'a' && letter <= 'z') {
        return letter - 'a';
    }
    return -1;
}

// The image configured for a drive letter: nullptr when the letter names no
// drive, "" for a drive without a disc.
const char *configured_image(int letter) {
    char variable[] = "CDSIM_?";
    variable[6] = static_cast<char>('A' + letter);
    return std::getenv(variable);
}

// What a configured path is, decided with stat before anything opens it:
// opening a FIFO for reading waits for a writer, for good.
enum class configured_kind { image, node, none };

configured_kind kind_of(const char *path) {
    struct stat status;
    // No disc, an image, or one that is missing: the open tells.
    if (path[0] == '\0' || stat(path, &status) != 0 || S_ISREG(status.st_mode)) {
        return configured_kind::image;
    }
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) {
        return configured_kind::node;
    }
    return configured_kind::none; // a directory, a FIFO, a socket
}

void log_call(const winsim_call &call) {
    call_log.push_back(call);
}

open_drive *drive_of(HANDLE handle) {
    for (open_drive &slot : open_drives) {
        if (&slot == handle && slot.in_use) {
            return &slot;
        }
    }
    return nullptr;
}

const winsim_fault *fault_for(const SCSI_PASS_THROUGH_DIRECT *request) {
    if (faults.empty() || request->CdbLength < 6) {
        return nullptr;
    }
    const uint32_t lba = static_cast<uint32_t>(request->Cdb[2]) << 24 |
                         static_cast<uint32_t>(request->Cdb[3]) << 16 |
                         static_cast<uint32_t>(request->Cdb[4]) << 8 | request->Cdb[5];
    for (const winsim_fault &fault : faults) {
        if (lba >= fault.first_lba && lba <= fault.last_lba) {
            return &fault;
        }
    }
    return nullptr;
}

BOOL fail(DWORD error) {
    last_error = error;
    return FALSE;
}

// The Windows error code for what the system said of a device node.
DWORD error_of(int error, DWORD otherwise) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return ERROR_FILE_NOT_FOUND;
    case EBUSY:
        return ERROR_BUSY;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEDIUM:
        return ERROR_NOT_READY;
    default:
        return otherwise;
    }
}

// Runs one command on the drive behind an open handle, into data. FALSE, with
// the error set, when the request never reached the drive or came back
// broken, as Windows fails such a request.
BOOL execute(open_drive *open, const SCSI_PASS_THROUGH_DIRECT *request, uint8_t *data,
             uint32_t data_length, uint8_t *sense, uint32_t *transferred, uint8_t *status,
             uint8_t *sense_written) {
    *sense_written = 0;
    if (open->node_fd < 0) {
        *status = cdsim_execute(&open->drive, request->Cdb, request->CdbLength, data, data_length,
                                transferred);
        return TRUE;
    }
    sgdrive_command command;
    command.cdb = request->Cdb;
    command.cdb_length = request->CdbLength;
    command.data = data;
    command.data_length = data_length;
    command.timeout_seconds = request->TimeOutValue;
    command.sense = sense;
    command.sense_length = sense ? request->SenseInfoLength : 0;
    sgdrive_answer answer;
    const int error = sgdrive_execute(open->node_fd, &command, &answer);
    if (error != 0) {
        return fail(error_of(error, ERROR_IO_DEVICE));
    }
    *status = answer.status;
    *transferred = answer.transferred;
    *sense_written = answer.sense_written;
    return TRUE;
}

} // namespace

UINT GetDriveTypeA(LPCSTR root_path_name) {
    if (logging) {
        winsim_call call;
        call.function = winsim_function::get_drive_type;
        call.path = root_path_name ? root_path_name : "";
        log_call(call);
    }

    if (root_path_name == nullptr || std::strlen(root_path_name) != 3 || root_path_name[1] != ':' ||
        root_path_name[2] != '\\') {
        return DRIVE_NO_ROOT_DIR;
    }
    const int letter = letter_index(root_path_name[0]);
    if (letter < 0) {
        return DRIVE_NO_ROOT_DIR;
    }
    if (drive_type_override[letter] != 0) {
        return static_cast<UINT>(drive_type_override[letter] - 1);
    }
    const char *image = configured_image(letter);
    if (image == nullptr) {
        return DRIVE_NO_ROOT_DIR;
    }
    switch (kind_of(image)) {
    case configured_kind::image:
        return DRIVE_CDROM;
    case configured_kind::node:
        // A device node is a CD-ROM drive only if it says so itself.
        return sgdrive_is_cdrom(image) ? DRIVE_CDROM : DRIVE_UNKNOWN;
    case configured_kind::none:
        break;
    }
    return DRIVE_UNKNOWN;
}

HANDLE CreateFileA(LPCSTR file_name, DWORD desired_access, DWORD share_mode,
                   LPSECURITY_ATTRIBUTES security_attributes, DWORD creation_disposition,
                   DWORD flags_and_attributes, HANDLE template_file) {
    if (logging) {
        winsim_call call;
        call.function = winsim_function::create_file;
        call.path = file_name ? file_name : "";
        call.desired_access = desired_access;
        call.share_mode = share_mode;
        call.security_attributes = security_attributes != nullptr;
        call.creation_disposition = creation_disposition;
        call.flags_and_attributes = flags_and_attributes;
        call.template_file = template_file != nullptr;
        log_call(call);
    }

    // Only the raw device of a drive, \\.\X:, opened the way pass-through needs it.
    if (file_name == nullptr || std::strlen(file_name) != 6 ||
        std::strncmp(file_name, "\\\\.\\", 4) != 0 || file_name[5] != ':') {
        fail(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const int letter = letter_index(file_name[4]);
    const char *image = letter < 0 ? nullptr : configured_image(letter);
    if (image == nullptr || kind_of(image) == configured_kind::none) {
        fail(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const DWORD read_write = GENERIC_READ | GENERIC_WRITE;
    const DWORD share_read_write = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if ((desired_access & read_write) != read_write ||
        (share_mode & share_read_write) != share_read_write) {
        fail(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (creation_disposition != OPEN_EXISTING || template_file != nullptr) {
        fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    for (open_drive &slot : open_drives) {
        if (!slot.in_use) {
            slot.node_fd = -1;
            if (kind_of(image) == configured_kind::node) {
                const int error = sgdrive_open(image, &slot.node_fd);
                if (error != 0) {
                    fail(error_of(error, ERROR_GEN_FAILURE));
                    return INVALID_HANDLE_VALUE;
                }
            } else if (cdsim_insert(&slot.drive, image) != 0) {
                fail(ERROR_FILE_NOT_FOUND);
                return INVALID_HANDLE_VALUE;
            }
            slot.in_use = true;
            return &slot;
        }
    }
    fail(ERROR_TOO_MANY_OPEN_FILES);
    return INVALID_HANDLE_VALUE;
}

BOOL DeviceIoControl(HANDLE device, DWORD io_control_code, LPVOID in_buffer, DWORD in_buffer_size,
                     LPVOID out_buffer, DWORD out_buffer_size, LPDWORD bytes_returned,
                     LPOVERLAPPED overlapped) {
    auto *request = static_cast<SCSI_PASS_THROUGH_DIRECT *>(in_buffer);
    if (logging) {
        winsim_call call;
        call.function = winsim_function::device_io_control;
        call.handle = device;
        call.io_control_code = io_control_code;
        call.in_buffer_size = in_buffer_size;
        call.out_buffer_size = out_buffer_size;
        call.in_is_out = in_buffer == out_buffer;
        call.bytes_returned_counter = bytes_returned != nullptr;
        call.overlapped = overlapped != nullptr;
        if (request && in_buffer_size >= sizeof *request) {
            call.request = *request;
        }
        log_call(call);
    }

    open_drive *open = drive_of(device);
    if (open == nullptr) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (io_control_code != IOCTL_SCSI_PASS_THROUGH_DIRECT || request == nullptr ||
        in_buffer_size < sizeof *request || request->Length != sizeof *request ||
        out_buffer == nullptr || out_buffer_size < sizeof *request || bytes_returned == nullptr ||
        overlapped != nullptr) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (request->CdbLength == 0 || request->CdbLength > sizeof request->Cdb ||
        request->DataIn != SCSI_IOCTL_DATA_IN ||
        (request->DataTransferLength > 0 && request->DataBuffer == nullptr)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    // Windows answers in the output record: the request is copied there
    // first, then filled in, and the input is left as it was sent.
    auto *answer = static_cast<SCSI_PASS_THROUGH_DIRECT *>(out_buffer);
    if (answer != request) {
        std::memmove(answer, request, sizeof *request);
    }
    // Sense data, when asked for, lands in the output buffer at its offset.
    uint8_t *sense = nullptr;
    if (request->SenseInfoLength > 0) {
        if (request->SenseInfoOffset > out_buffer_size ||
            request->SenseInfoLength > out_buffer_size - request->SenseInfoOffset) {
            return fail(ERROR_INVALID_PARAMETER);
        }
        sense = static_cast<uint8_t *>(out_buffer) + request->SenseInfoOffset;
    }

    const winsim_fault *fault = fault_for(request);
    if (fault && fault->call_fails) {
        return fail(ERROR_NOT_READY);
    }
    auto *data = static_cast<uint8_t *>(request->DataBuffer);
    uint32_t transferred = 0;
    uint8_t status = CDSIM_GOOD;
    uint8_t sense_written = 0;
    if (fault == nullptr || (!fault->replace_data && fault->transfer < 0)) {
        if (!execute(open, request, data, request->DataTransferLength, sense, &transferred, &status,
                     &sense_written)) {
            return FALSE;
        }
    } else {
        // The answer is altered on its way: it lands in a scratch block, and
        // only what the fault lets through reaches the host's buffer.
        uint8_t served[CDSIM_SECTOR_SIZE];
        uint32_t available = sizeof served;
        if (fault->replace_data) {
            std::memcpy(served, fault->data, sizeof served);
        } else if (!execute(open, request, served, sizeof served, sense, &available, &status,
                            &sense_written)) {
            return FALSE;
        }
        transferred = std::min(available, request->DataTransferLength);
        if (fault->transfer >= 0) {
            transferred = std::min(transferred, static_cast<uint32_t>(fault->transfer));
        }
        std::memcpy(data, served, transferred);
    }

    answer->ScsiStatus = status;
    answer->DataTransferLength = transferred;
    answer->SenseInfoLength = sense_written;
    *bytes_returned = sizeof *answer;
    if (fault && fault->scsi_status >= 0) {
        answer->ScsiStatus = static_cast<UCHAR>(fault->scsi_status);
    }
    if (fault && fault->bytes_returned >= 0) {
        *bytes_returned = static_cast<DWORD>(fault->bytes_returned);
    }
    return TRUE;
}

BOOL CloseHandle(HANDLE object) {
    if (logging) {
        winsim_call call;
        call.function = winsim_function::close_handle;
        call.handle = object;
        log_call(call);
    }
    open_drive *open = drive_of(object);
    if (open == nullptr) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (open->node_fd >= 0) {
        sgdrive_close(open->node_fd);
    } else {
        cdsim_eject(&open->drive);
    }
    open->in_use = false;
    return TRUE;
}

DWORD GetLastError() {
    return last_error;
}

void winsim_log_enable(bool enable) {
    logging = enable;
}

const std::vector<winsim_call> &winsim_calls() {
    return call_log;
}

void winsim_set_drive_type(char letter, UINT type) {
    const int index = letter_index(letter);
    if (index >= 0) {
        drive_type_override[index] = static_cast<int>(type) + 1;
    }
}

void winsim_add_fault(const winsim_fault &fault) {
    faults.push_back(fault);
}

void winsim_reset() {
    for (open_drive &slot : open_drives) {
        if (slot.in_use) {
            CloseHandle(&slot);
        }
    }
    call_log.clear();
    faults.clear();
    std::fill(std::begin(drive_type_override), std::end(drive_type_override), 0);
    logging = false;
}
