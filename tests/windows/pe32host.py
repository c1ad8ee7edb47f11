#!/usr/bin/python3
"""Runs the 32-bit quorix_marker.dll on an emulated x86 CPU as a Windows host process loads and calls it.

  pe32host.py DLL FILE --temp DIR [--cwd DIR] [--base HEX] [--processors N] [--symbols FILE]

The image is mapped at its preferred base or, with --base, elsewhere through its base relocations; each
thread gets a TEB behind fs:; every import is bound to a function of this program (one without stops the
run with its name). The TLS callbacks and the entry point run for process attach, a stub calls
ImportQuorixFile(FILE, a 24-byte buffer of 0xAA) with the C calling convention and records ESP around the
call, and the module is detached as by FreeLibrary. FILE goes to the module byte for byte.

Paths are mapped as on the host's machine under Wine: c:\\workbase\\temp\\ to the --temp folder, Z:\\ to /,
a relative path below --cwd (the process's current folder, default the current one); other drives do not
exist. Threads run cooperatively, one at a time: a thread runs until it waits for another (a thread to
end, a semaphore, a critical section) or sleeps. GetSystemInfo reports --processors processors (default 4),
so that the module cuts long work into parts as on a machine with several cores.

Prints one JSON object: result (what ImportQuorixFile returned; null when it did not return), buffer (the
24 bytes in hex), vqlog (each dll_vq_log_error call as [level, code, text in hex, detail in hex or null]),
exception (an exception left the module and the process ended in abort), esp_ok (after the return ESP was 8
below its value before the arguments were pushed), unimplemented (imports this program lacks, and calls in
a form it does not implement), instructions (executed, the imports' own counted as one each), threads
(started by the module), base, stderr (what the module wrote there) and, when the emulation failed, error.
Exit status 0 when the run completed, 2 when the emulation failed. PE32HOST_TRACE=1 in the environment
prints every import call on standard error.
"""
import argparse
import errno
import json
import os
import shutil
import stat
import struct
import sys
import time

try:
    import pefile
    from unicorn import (UC_ARCH_X86, UC_HOOK_CODE, UC_MODE_32, UC_PROT_ALL, UC_PROT_EXEC, UC_PROT_NONE,
                         UC_PROT_READ, UC_PROT_WRITE, Uc, UcError)
    from unicorn.x86_const import (UC_X86_REG_DS, UC_X86_REG_EAX, UC_X86_REG_EBP, UC_X86_REG_EBX,
                                   UC_X86_REG_ECX, UC_X86_REG_EDI, UC_X86_REG_EDX, UC_X86_REG_EFLAGS,
                                   UC_X86_REG_EIP, UC_X86_REG_ES, UC_X86_REG_ESI, UC_X86_REG_ESP, UC_X86_REG_FS,
                                   UC_X86_REG_FPCW, UC_X86_REG_GDTR, UC_X86_REG_GS, UC_X86_REG_MXCSR,
                                   UC_X86_REG_SS)
except ImportError:
    # Debian's python3-unicorn and python3-pefile serve /usr/bin/python3; another python3 may come first on
    # the PATH.
    if os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3") and os.path.exists(
            "/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise

# --- The emulated process's memory --------------------------------------------------------------------------
PAGE = 0x1000
GDT = 0x00010000
ROUTINES = 0x00020000  # the host routines' entry points: every instruction here is hooked
STUB = 0x00021000  # plain code of the host: the caller of ImportQuorixFile and the end of the process
HOST_DATA = 0x00030000  # the C runtime's data, the argument, the name buffer
THUNKS = 0x00040000  # one entry point per import, hooked
THUNK_SIZE = 16
PEB = 0x000F0000
HOST_EXE = 0x000E0000  # the module handle of the host program, which is not mapped
FREE_SPACE = 0x00100000  # from here on: thread areas and the heap, around the image
THREAD_AREA = 0x00120000  # per thread: TEB, TLS array, TLS data, errno; a guard gap; the stack
THREAD_SYSTEM = 0x00010000
STACK_GUARD = 0x00010000
MOST_THREADS = 48
USER_END = 0x80000000
HEAP_CHUNK = 0x01000000
NAME_BUFFER_SIZE = 24
LIMIT = 1 << 20  # instructions of one stretch of emulation (see Host.run)
MOST_INSTRUCTIONS = 1 << 34  # a module that runs longer is taken to loop for ever

# What a called function gets in the callee-saved registers; they must come back unchanged.
SENTINELS = {UC_X86_REG_EBX: 0x0B0B0B0B, UC_X86_REG_ESI: 0x51515151, UC_X86_REG_EDI: 0xD1D1D1D1,
             UC_X86_REG_EBP: 0xBEBEBEBE}
CONTEXT = (UC_X86_REG_EAX, UC_X86_REG_ECX, UC_X86_REG_EDX, UC_X86_REG_EBX, UC_X86_REG_ESP, UC_X86_REG_EBP,
           UC_X86_REG_ESI, UC_X86_REG_EDI, UC_X86_REG_EIP, UC_X86_REG_EFLAGS, UC_X86_REG_FS, UC_X86_REG_FPCW,
           UC_X86_REG_MXCSR)
# A new thread's floating-point state on 32-bit Windows: x87 with 53-bit precision, every exception masked
# in both units, rounding to nearest. (The emulator starts with 24-bit precision and none masked.)
FLOATING_POINT = {UC_X86_REG_FPCW: 0x027F, UC_X86_REG_MXCSR: 0x1F80}

# --- Win32 --------------------------------------------------------------------------------------------------
DLL_PROCESS_DETACH, DLL_PROCESS_ATTACH, DLL_THREAD_ATTACH, DLL_THREAD_DETACH = 0, 1, 2, 3
ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED = 0, 2, 3, 5
ERROR_INVALID_HANDLE, ERROR_NOT_ENOUGH_MEMORY, ERROR_NOT_SUPPORTED, ERROR_FILE_EXISTS = 6, 8, 50, 80
ERROR_INVALID_PARAMETER, ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_NAME, ERROR_MOD_NOT_FOUND = 87, 122, 123, 126
ERROR_PROC_NOT_FOUND, ERROR_NEGATIVE_SEEK, ERROR_ALREADY_EXISTS, ERROR_TOO_MANY_POSTS = 127, 131, 183, 298
ERROR_MR_MID_NOT_FOUND, ERROR_RESOURCE_NAME_NOT_FOUND, ERROR_BAD_LENGTH = 317, 1814, 24
ERROR_NO_MORE_FILES, ERROR_NOT_OWNER = 18, 288
# This machine's errno to the Win32 error of the same failure.
WIN32_ERROR = {errno.ENOENT: ERROR_FILE_NOT_FOUND, errno.EEXIST: ERROR_FILE_EXISTS,
               errno.EACCES: ERROR_ACCESS_DENIED, errno.EPERM: ERROR_ACCESS_DENIED,
               errno.EISDIR: ERROR_ACCESS_DENIED, errno.ENOTDIR: ERROR_PATH_NOT_FOUND, errno.EXDEV: 17,
               errno.EROFS: 19, errno.EBUSY: 32, errno.ENOTSUP: ERROR_NOT_SUPPORTED, errno.EINVAL: 87,
               errno.ENOSPC: 112, errno.ENOTEMPTY: 145, errno.ENAMETOOLONG: 206, errno.ELOOP: 1921}
SYSTEM_MESSAGES = {  # FormatMessage's texts of the errors above
    2: "The system cannot find the file specified.", 3: "The system cannot find the path specified.",
    5: "Access is denied.", 6: "The handle is invalid.",
    17: "The system cannot move the file to a different disk drive.", 19: "The media is write protected.",
    32: "The process cannot access the file because it is being used by another process.",
    50: "The request is not supported.", 80: "The file exists.", 87: "The parameter is incorrect.",
    112: "There is not enough space on the disk.",
    123: "The filename, directory name, or volume label syntax is incorrect.",
    145: "The directory is not empty.", 183: "Cannot create a file when that file already exists.",
    206: "The filename or extension is too long.", 1921: "The name of the file cannot be resolved by the system."}
CRT_ERRORS = {0: "No error", 2: "No such file or directory", 9: "Bad file descriptor", 12: "Not enough space",
              13: "Permission denied", 17: "File exists", 22: "Invalid argument"}
EBADF = 9
GENERIC_READ, GENERIC_WRITE, FILE_READ_DATA, FILE_WRITE_DATA = 0x80000000, 0x40000000, 0x1, 0x2
CREATE_NEW, CREATE_ALWAYS, OPEN_EXISTING, OPEN_ALWAYS, TRUNCATE_EXISTING = 1, 2, 3, 4, 5
FILE_FLAG_BACKUP_SEMANTICS = 0x02000000
FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_ARCHIVE = 0x1, 0x10, 0x20
FILE_ATTRIBUTE_REPARSE_POINT = 0x400
INVALID = 0xFFFFFFFF  # INVALID_HANDLE_VALUE, INVALID_FILE_ATTRIBUTES, WAIT_FAILED, TLS_OUT_OF_INDEXES
FILE_TYPE_UNKNOWN, FILE_TYPE_DISK, FILE_TYPE_CHAR, FILE_TYPE_PIPE = 0, 1, 2, 3
MOVEFILE_REPLACE_EXISTING, MOVEFILE_COPY_ALLOWED, MOVEFILE_WRITE_THROUGH = 1, 2, 8
INFINITE, WAIT_OBJECT_0, WAIT_TIMEOUT = 0xFFFFFFFF, 0, 0x102
TLS_SLOTS = 1088  # 64 in the TEB and 1024 expansion slots
FORMAT_MESSAGE_SYSTEM_TEXT = 0x1200  # FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS
FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x100
GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, GET_MODULE_HANDLE_EX_FLAGS = 4, 7
RT_STRING, LANG_EN_US = 6, 0x409
PAGE_READONLY, PAGE_READWRITE, PAGE_EXECUTE_READ, PAGE_EXECUTE_READWRITE = 0x02, 0x04, 0x20, 0x40
PAGE_PROTECTIONS = {0x01: UC_PROT_NONE, 0x02: UC_PROT_READ, 0x04: UC_PROT_READ | UC_PROT_WRITE,
                    0x08: UC_PROT_READ | UC_PROT_WRITE, 0x10: UC_PROT_EXEC, 0x20: UC_PROT_READ | UC_PROT_EXEC,
                    0x40: UC_PROT_ALL, 0x80: UC_PROT_ALL}
EMULATOR_PAGES = {prot: page for page, prot in PAGE_PROTECTIONS.items() if page not in (0x08, 0x80)}
MEM_COMMIT, MEM_FREE, MEM_PRIVATE, MEM_IMAGE = 0x1000, 0x10000, 0x20000, 0x1000000

# Code page 1252, the ANSI code page; its five unassigned bytes stand for the control characters of the same
# numbers, as in Windows's own conversion.
ANSI = [chr(b) if b in (0x81, 0x8D, 0x8F, 0x90, 0x9D) else bytes([b]).decode("cp1252") for b in range(256)]
ANSI_BYTES = {c: bytes([b]) for b, c in enumerate(ANSI)}


def ansi(data):
    return "".join(ANSI[b] for b in data)


def to_ansi(text):
    return b"".join(ANSI_BYTES.get(c, b"?") for c in text)


def u32(data, offset=0):
    return struct.unpack_from("<I", data, offset)[0]


def s32(value):
    return value - (1 << 32) if value & 0x80000000 else value


class Failure(Exception):
    """The emulation cannot go on: a fault of the module, of its loading, or of this program."""


class Unimplemented(Exception):
    """An import, or a form of a call, that this program does not implement."""


class Ended(Exception):
    """The module ended the process (abort and the runtime's fatal errors)."""


class WinError(Exception):
    """A Win32 function fails with this error."""

    def __init__(self, code):
        super().__init__(code)
        self.code = code


class Wait(Exception):
    """The calling thread cannot go on before another does something; the call is made again then."""

    def __init__(self, ready, what):
        super().__init__(what)
        self.ready = ready


class Yield(Exception):
    """The call is complete, and the calling thread lets the others run first."""


class Call:
    """A call into the module that a host routine (a generator) yields, and whose result it is sent."""

    def __init__(self, function, args, name, stdcall=True):
        self.function, self.args, self.name, self.stdcall = function, args, name, stdcall


# --- Paths --------------------------------------------------------------------------------------------------
class Paths:
    """Windows paths to this machine's, as Windows resolves them: '/' and '\\' separate, '.' and '..' are
    taken away by name, trailing dots and spaces of the last name dropped, names checked for characters
    Windows refuses."""
    REFUSED = set('<>:"|?*') | {chr(c) for c in range(32)}

    def __init__(self, temp, cwd):
        self.temp, self.cwd = temp, cwd

    def host(self, raw):
        path = ansi(raw).replace("/", "\\")
        if not path:
            raise WinError(ERROR_PATH_NOT_FOUND)
        if path[1:2] == ":" and path[:1].isalpha():
            drive, names = path[0].lower(), path[2:].split("\\")
            if names[0]:
                raise WinError(ERROR_PATH_NOT_FOUND)  # relative to the current folder of another drive
        elif path.startswith("\\\\"):
            raise WinError(ERROR_PATH_NOT_FOUND)  # no network
        elif path.startswith("\\"):
            drive, names = "z", path.split("\\")  # the current folder's drive
        else:
            drive, names = "z", self.cwd.split("/") + path.split("\\")
        if names[-1] not in (".", ".."):
            names[-1] = names[-1].rstrip(". ") or names[-1]  # Windows drops them
        kept = []
        for name in names:
            if name == "..":
                kept = kept[:-1]
            elif name not in ("", "."):
                if self.REFUSED & set(name):
                    raise WinError(ERROR_INVALID_NAME)
                kept.append(name)
        if drive == "z":
            return "/" + "/".join(kept)
        if drive == "c" and [name.lower() for name in kept[:2]] == ["workbase", "temp"]:
            return os.path.join(self.temp, *kept[2:])
        raise WinError(ERROR_PATH_NOT_FOUND)


def missing(path):
    """The error for a path that does not exist: whether its folder does tells which."""
    return WinError(ERROR_FILE_NOT_FOUND if os.path.isdir(os.path.dirname(path)) else ERROR_PATH_NOT_FOUND)


def os_error(error):
    if error.errno == errno.ENOENT:
        return missing(error.filename)
    if error.errno not in WIN32_ERROR:
        raise Unimplemented("no Win32 error for errno %d (%s) of %s" % (error.errno, error.strerror,
                                                                        error.filename))
    return WinError(WIN32_ERROR[error.errno])


def lstat(path):
    try:
        return os.lstat(path)
    except FileNotFoundError:
        return None
    except OSError as error:
        raise os_error(error)


def read_only(info):
    """FILE_ATTRIBUTE_READONLY: a file its owner may not write. It refuses writing, deleting and replacing
    even to an administrator, while root on this machine could do all three."""
    return info is not None and not stat.S_ISDIR(info.st_mode) and not info.st_mode & stat.S_IWUSR


# --- Objects of the process ---------------------------------------------------------------------------------
class File:
    def __init__(self, fd, readable, writable):
        self.fd, self.readable, self.writable = fd, readable, writable


class Semaphore:
    def __init__(self, count, most):
        self.count, self.most = count, most


class Mutex:
    """A mutex, named or not: the thread that owns it (None when free) and how often it took it."""

    def __init__(self):
        self.owner, self.count = None, 0


class Search:
    """What FindFirstFileA found and FindNextFileA has not handed back yet."""

    def __init__(self, folder, names):
        self.folder, self.names = folder, names


class Thread:
    def __init__(self, tid, index, area):
        self.tid, self.index = tid, index
        self.teb = area
        self.errno = self.teb + 0x3000
        self.stack_top = self.teb + THREAD_AREA
        self.selector = (index + 2) << 3 | 3  # its FS: an entry of the GDT of its own
        self.context = None  # its registers while another thread runs
        self.ready = None  # while it waits: whether the call it waits in can go on
        self.waiting = None
        self.frames = []  # host routines waiting for calls into the module, the innermost last
        self.tls = {}
        self.exited = False
        self.start = self.parameter = None


class Frame:
    """A host routine on a thread, and the call into the module it waits for."""

    def __init__(self, routine, esp, kind, pop=0, saved=None):
        self.routine, self.esp, self.kind, self.pop = routine, esp, kind, pop
        self.saved = saved or {}  # the callee-saved registers of the module's caller, given back at the end
        self.call = self.call_esp = None


class Host:
    def __init__(self, dll, path, temp, cwd, base, processors, symbols=None):
        self.uc = Uc(UC_ARCH_X86, UC_MODE_32)
        self.paths = Paths(temp, cwd)
        self.processors = processors
        self.trace = os.environ.get("PE32HOST_TRACE") == "1"
        self.vqlog, self.unimplemented, self.stderr = [], [], bytearray()
        self.result = self.esp_ok = self.instructions = None
        self.exception = False
        self.threads, self.current, self.started = [], None, 0
        self.handles, self.next_handle = {}, 0x100
        self.mutexes = {}  # named mutexes of the machine, by name
        self.sections = {}  # critical sections by address and the C runtime's locks by number: [owner, count]
        self.tls_used = set()
        self.heap_blocks, self.heap_free = {}, {}
        self.page_protection = {}
        self.data_top = HOST_DATA
        self.load(dll, base)
        if symbols:
            self.symbols = self.coff_symbols(pefile.PE(symbols, fast_load=True))
        self.free_space, self.thread_areas = FREE_SPACE, {}
        self.heap_top = self.heap_end = 0
        self.map_host(path)

    # --- Memory ---------------------------------------------------------------------------------------------
    def read(self, address, size):
        return bytes(self.uc.mem_read(address, size))

    def write(self, address, data):
        self.uc.mem_write(address, bytes(data))

    def get32(self, address):
        return u32(self.uc.mem_read(address, 4))

    def put32(self, address, value):
        self.uc.mem_write(address, struct.pack("<I", value & 0xFFFFFFFF))

    def cstring(self, address):
        if address == 0:
            return None
        data = bytearray()
        while True:
            chunk = self.uc.mem_read(address + len(data), 64 - (address + len(data)) % 64)
            end = chunk.find(0)
            if end >= 0:
                return bytes(data + chunk[:end])
            data += chunk

    def wstring(self, address):
        if address == 0:
            return None
        data = bytearray()
        while self.uc.mem_read(address + len(data), 2) != b"\0\0":
            data += self.uc.mem_read(address + len(data), 2)
        return data.decode("utf-16-le", "surrogatepass")

    def host_data(self, data):
        address = self.data_top
        self.write(address, data)
        self.data_top = (address + len(data) + 3) & ~3
        return address

    def protect(self, address, size, protection):
        self.uc.mem_protect(address, size, PAGE_PROTECTIONS[protection])
        for page in range(address, address + size, PAGE):
            self.page_protection[page] = protection

    def malloc(self, size):
        """A heap block, 8-byte aligned as by Windows's heap. 8 guard bytes follow it, checked when it is
        freed; a freed block is filled with 0xDD."""
        size = (max(size, 1) + 7) & ~7
        if self.heap_free.get(size):
            address = self.heap_free[size].pop()
        else:
            if self.heap_top + size + 8 > self.heap_end:
                grow = (size + 8 + HEAP_CHUNK - 1) & ~(HEAP_CHUNK - 1)
                chunk = self.reserve(grow)
                if chunk is None:
                    return 0
                self.uc.mem_map(chunk, grow, UC_PROT_READ | UC_PROT_WRITE)
                if chunk != self.heap_end:
                    self.heap_top = chunk
                self.heap_end = chunk + grow
            address = self.heap_top
            self.heap_top += size + 8
        self.heap_blocks[address] = size
        self.write(address + size, b"\xFD" * 8)
        return address

    def reserve(self, size):
        """Address space for the host's own use, next to what it reserved before and around the image; None
        when the user address space is full."""
        address = self.free_space
        if address < self.base + self.size and address + size > self.base:
            address = (self.base + self.size + 0xFFFF) & ~0xFFFF
        if address + size > USER_END:
            return None
        self.free_space = address + size
        return address

    def free(self, address):
        if address == 0:
            return
        size = self.heap_blocks.pop(address, None)
        if size is None:
            raise Failure("free of 0x%x, which is no allocated block" % address)
        if self.read(address + size, 8) != b"\xFD" * 8:
            raise Failure("the heap block at 0x%x of %d bytes was written past its end" % (address, size))
        self.write(address, b"\xDD" * size)  # so that a use after free shows
        self.heap_free.setdefault(size, []).append(address)

    # --- Loading --------------------------------------------------------------------------------------------
    def load(self, dll, base):
        pe = pefile.PE(dll, fast_load=True)
        if pe.FILE_HEADER.Machine != 0x14C or pe.OPTIONAL_HEADER.Magic != 0x10B:
            raise Failure("%s is not a 32-bit x86 image" % dll)
        pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_" + name] for name in
                                               ("IMPORT", "EXPORT", "BASERELOC", "TLS")])
        header = pe.OPTIONAL_HEADER
        preferred = header.ImageBase
        self.base = preferred if base is None else base
        self.size = (header.SizeOfImage + PAGE - 1) & ~(PAGE - 1)
        if self.base % 0x10000 or self.base < FREE_SPACE or self.base + self.size > USER_END:
            raise Failure("image base 0x%x: not 64 KiB aligned, or not between 0x%x and 0x%x"
                          % (self.base, FREE_SPACE, USER_END))
        image = bytearray(pe.get_memory_mapped_image()).ljust(self.size, b"\0")
        if self.base != preferred:
            if pe.FILE_HEADER.Characteristics & 0x1 or not hasattr(pe, "DIRECTORY_ENTRY_BASERELOC"):
                raise Failure("the image has no base relocations: it cannot move to 0x%x" % self.base)
            for block in pe.DIRECTORY_ENTRY_BASERELOC:
                for entry in block.entries:
                    if entry.type == 3:  # IMAGE_REL_BASED_HIGHLOW
                        struct.pack_into("<I", image, entry.rva,
                                         (u32(image, entry.rva) + self.base - preferred) & 0xFFFFFFFF)
                    elif entry.type != 0:  # IMAGE_REL_BASED_ABSOLUTE only pads a block
                        raise Failure("base relocation of type %d at 0x%x" % (entry.type, entry.rva))
        self.uc.mem_map(self.base, self.size, UC_PROT_ALL)
        self.write(self.base, image)
        # Protections as the loader gives them: the headers read-only, each section by its flags.
        self.protect(self.base, PAGE, PAGE_READONLY)
        for section in pe.sections:
            writable, execute = section.Characteristics & 0x80000000, section.Characteristics & 0x20000000
            protection = ((PAGE_EXECUTE_READWRITE if writable else PAGE_EXECUTE_READ) if execute
                          else PAGE_READWRITE if writable else PAGE_READONLY)
            size = (max(section.Misc_VirtualSize, 1) + PAGE - 1) & ~(PAGE - 1)
            self.protect(self.base + section.VirtualAddress, size, protection)
        self.entry = self.base + header.AddressOfEntryPoint if header.AddressOfEntryPoint else None
        exported = pe.DIRECTORY_ENTRY_EXPORT.symbols if hasattr(pe, "DIRECTORY_ENTRY_EXPORT") else []
        self.exports = {symbol.name.decode(): self.base + symbol.address for symbol in exported if symbol.name}
        self.resources = header.DATA_DIRECTORY[2].VirtualAddress
        self.imports = [(library.dll.decode(), symbol.name.decode() if symbol.name else "#%d" % symbol.ordinal,
                         symbol.address - preferred + self.base)
                        for library in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []) for symbol in library.imports]
        self.tls = None
        if hasattr(pe, "DIRECTORY_ENTRY_TLS"):
            # From the mapped image, whose base relocations have moved its addresses.
            start, end, index, callbacks, zero_fill = struct.unpack(
                "<5I", self.read(self.base + header.DATA_DIRECTORY[9].VirtualAddress, 20))
            self.tls = (self.read(start, end - start) + bytes(zero_fill), [])
            if len(self.tls[0]) > PAGE:
                raise Unimplemented("TLS data of %d bytes" % len(self.tls[0]))
            while self.get32(callbacks):
                self.tls[1].append(self.get32(callbacks))
                callbacks += 4
            self.put32(index, 0)  # the module's TLS data is entry 0 of each thread's TLS array
        self.symbols = self.coff_symbols(pe)

    def coff_symbols(self, pe):
        """The functions of the image's COFF symbol table, when it has one: to name the place of a fault."""
        table, count, data = pe.FILE_HEADER.PointerToSymbolTable, pe.FILE_HEADER.NumberOfSymbols, pe.__data__
        if not table or table + 18 * count > len(data):
            return []
        symbols, i = [], 0
        while i < count:
            name, value, section, kind, _, aux = struct.unpack("<8sIhHBB", data[table + 18 * i:table + 18 * i + 18])
            if name[:4] == b"\0\0\0\0":
                offset = table + 18 * count + u32(name, 4)
                name = data[offset:data.find(b"\0", offset)]
            if kind & 0x20 and section > 0:
                symbols.append((self.base + pe.sections[section - 1].VirtualAddress + value,
                                name.rstrip(b"\0").decode(errors="replace")))
            i += 1 + aux
        return sorted(symbols)

    def where(self, address):
        before = [symbol for symbol in self.symbols if symbol[0] <= address]
        if before and address < self.base + self.size:
            return "0x%x (%s+0x%x)" % (address, before[-1][1], address - before[-1][0])
        return "0x%x" % address

    def map_host(self, path):
        uc = self.uc
        for address, size in ((GDT, PAGE), (ROUTINES, PAGE), (STUB, PAGE), (HOST_DATA, 0x10000),
                              (THUNKS, 0x10000), (PEB, PAGE)):
            uc.mem_map(address, size, UC_PROT_ALL)
        # Host routines: one int3 each, which the hook never lets execute.
        uc.mem_write(ROUTINES, b"\xCC" * PAGE)
        self.routines = {ROUTINES: self.on_return, ROUTINES + 1: self.on_thread_start, ROUTINES + 2: self.on_main}
        self.at_return, self.at_thread_start, self.at_main = ROUTINES, ROUTINES + 1, ROUTINES + 2
        # The end of the process: a loop of two instructions that counts its turns (see run).
        self.end_turns = self.host_data(bytes(4))
        self.at_end = STUB + 0x800
        uc.mem_write(self.at_end, b"\xFF\x05" + struct.pack("<I", self.end_turns) + b"\xEB\xF8")
        self.name_buffer = self.host_data(b"\xAA" * NAME_BUFFER_SIZE)
        self.path = self.host_data(path + b"\0")
        # The C runtime's data: stdin, stdout, stderr and 17 more FILE structures of 32 bytes (the stream's
        # number at offset 16), and __mb_cur_max, 1 in a code page of single bytes.
        self.iob = self.host_data(b"".join(struct.pack("<8I", 0, 0, 0, 0, i, 0, 0, 0) for i in range(20)))
        data_imports = {"_iob": self.iob, "__mb_cur_max": self.host_data(struct.pack("<i", 1))}
        self.thunks = []
        for library, name, iat in self.imports:
            if library.lower() == "msvcrt.dll" and name in data_imports:
                self.put32(iat, data_imports[name])
            else:
                if (library.lower(), name) not in IMPORTS:
                    self.unimplemented.append("%s!%s" % (library, name))
                self.put32(iat, self.thunk(library, name))
        # The PEB: not debugged, the host program's base, a process heap, the number of processors.
        peb = bytearray(PAGE)
        struct.pack_into("<I", peb, 0x08, HOST_EXE)
        struct.pack_into("<I", peb, 0x18, FREE_SPACE)
        struct.pack_into("<I", peb, 0x64, self.processors)
        self.write(PEB, peb)
        # GDT entry 1: flat 32-bit data of ring 0, where the emulated CPU runs, for DS, ES, SS and GS; then
        # one entry a thread for FS, at its TEB.
        self.write(GDT + 8, struct.pack("<Q", 0xFFFF | 0x92 << 40 | 0xF << 48 | 0xC << 52))
        uc.reg_write(UC_X86_REG_GDTR, (0, GDT, 8 * (MOST_THREADS + 2) - 1, 0))
        for register in (UC_X86_REG_DS, UC_X86_REG_ES, UC_X86_REG_SS, UC_X86_REG_GS):
            uc.reg_write(register, 8)
        uc.hook_add(UC_HOOK_CODE, self.on_thunk, None, THUNKS, THUNKS + 0xFFFF)
        uc.hook_add(UC_HOOK_CODE, self.on_routine, None, ROUTINES, ROUTINES + PAGE - 1)

    def thunk(self, library, name):
        """The entry point of an import: one int3, which the hook never lets execute."""
        address = THUNKS + THUNK_SIZE * len(self.thunks)
        function, count = IMPORTS.get((library.lower(), name), (None, 0))
        # The system's functions leave the caller's stack as they found it (stdcall); the C runtime and the
        # host's log function have the caller remove the arguments.
        pop = 4 * count if library.lower() in ("kernel32.dll", "user32.dll") else 0
        self.thunks.append((library, name, function, count, pop))
        self.write(address, b"\xCC")
        return address

    # --- Threads --------------------------------------------------------------------------------------------
    def new_thread(self):
        """A thread with its TEB, its copy of the module's TLS data and a stack, in the area of a thread that
        has ended or a new one."""
        used = {t.index for t in self.threads if not t.exited}
        index = next((i for i in range(MOST_THREADS) if i not in used), None)
        if index is None:
            raise Unimplemented("more than %d threads at once" % MOST_THREADS)
        if index in self.thread_areas:  # a thread's that has ended
            area = self.thread_areas[index]
            self.uc.mem_unmap(area, THREAD_SYSTEM)
            self.uc.mem_unmap(area + THREAD_SYSTEM + STACK_GUARD, THREAD_AREA - THREAD_SYSTEM - STACK_GUARD)
        else:
            area = self.thread_areas[index] = self.reserve(THREAD_AREA)
            if area is None:
                raise Failure("no address space left for a thread")
        thread = Thread(0x1000 + 4 * len(self.threads), index, area)
        stack = area + THREAD_SYSTEM + STACK_GUARD
        self.uc.mem_map(area, THREAD_SYSTEM, UC_PROT_READ | UC_PROT_WRITE)
        self.uc.mem_map(stack, thread.stack_top - stack, UC_PROT_READ | UC_PROT_WRITE)
        # Its FS: a present, writable 32-bit data segment of ring 3 at the TEB.
        limit = THREAD_SYSTEM - 1
        self.write(GDT + 8 * (index + 2), struct.pack("<Q", limit & 0xFFFF | (area & 0xFFFFFF) << 16 | 0xF2 << 40
                                                      | (limit >> 16) << 48 | 0x4 << 52 | (area >> 24) << 56))
        teb = bytearray(PAGE)
        struct.pack_into("<3I", teb, 0, 0xFFFFFFFF, thread.stack_top, stack)  # no SEH frame, the stack
        struct.pack_into("<I", teb, 0x18, area)
        struct.pack_into("<2I", teb, 0x20, os.getpid(), thread.tid)
        struct.pack_into("<2I", teb, 0x2C, area + 0x1000, PEB)  # the TLS array, the PEB
        self.write(area, teb)
        if self.tls:
            self.put32(area + 0x1000, area + 0x2000)
            self.write(area + 0x2000, self.tls[0])
        thread.context = dict.fromkeys(CONTEXT, 0)
        thread.context.update(FLOATING_POINT)
        thread.context.update({UC_X86_REG_ESP: thread.stack_top - 16, UC_X86_REG_FS: thread.selector,
                               UC_X86_REG_EFLAGS: 0x202})
        self.threads.append(thread)
        return thread

    def resume(self, thread):
        for register in CONTEXT:
            self.uc.reg_write(register, thread.context[register])
        thread.context = thread.ready = None
        self.current = thread

    def switch(self, eip):
        """Saves the current thread to go on at eip, and runs the next one that can go on."""
        current = self.current
        if not current.exited:
            current.context = {register: self.uc.reg_read(register) for register in CONTEXT}
            current.context[UC_X86_REG_EIP] = eip
        at = self.threads.index(current) + 1
        for thread in self.threads[at:] + self.threads[:at]:
            if not thread.exited and (thread.ready is None or thread.ready()):
                self.resume(thread)
                return
        raise Failure("deadlock: " + ", ".join("thread 0x%x waits in %s" % (t.tid, t.waiting)
                                               for t in self.threads if not t.exited))

    # --- Hooks ----------------------------------------------------------------------------------------------
    def on_thunk(self, uc, address, size, _):
        library, name, function, count, pop = self.thunks[(address - THUNKS) // THUNK_SIZE]
        esp = uc.reg_read(UC_X86_REG_ESP)
        frame = self.read(esp, 4 + 4 * count)
        caller, args = u32(frame), struct.unpack_from("<%dI" % count, frame, 4)
        if self.trace:
            print("thread 0x%x: %s(%s) from %s" % (self.current.tid, name, ", ".join("0x%x" % a for a in args),
                                                   self.where(caller)), file=sys.stderr)
        if function is None:
            raise Failure("%s!%s, which this program does not implement, called from %s"
                          % (library, name, self.where(caller)))
        try:
            value = function(self, *args)
        except Ended:
            self.exception = True
            uc.reg_write(UC_X86_REG_EIP, self.at_end)
            return
        except Wait as wait:
            self.current.ready, self.current.waiting = wait.ready, str(wait)
            self.switch(address)  # the call is made again when the thread goes on
            return
        except Yield:
            uc.reg_write(UC_X86_REG_ESP, esp + 4 + pop)
            self.switch(caller)
            return
        except (Failure, Unimplemented) as error:
            raise type(error)("%s (in %s, called from %s)" % (error, name, self.where(caller)))
        if hasattr(value, "send"):  # a host routine: it calls into the module
            self.current.frames.append(Frame(value, esp, "import", pop, {r: uc.reg_read(r) for r in SENTINELS}))
            self.advance(None)
            return
        uc.reg_write(UC_X86_REG_EAX, (value or 0) & 0xFFFFFFFF)
        uc.reg_write(UC_X86_REG_ESP, esp + 4 + pop)
        uc.reg_write(UC_X86_REG_EIP, caller)

    def on_routine(self, uc, address, size, _):
        self.routines[address]()

    def on_main(self):
        self.current.frames.append(Frame(self.main(), self.current.stack_top - 16, "main"))
        self.advance(None)

    def on_thread_start(self):
        self.current.frames.append(Frame(self.thread_main(), self.current.stack_top - 16, "thread"))
        self.advance(None)

    def on_return(self):
        """A call of a host routine into the module returned: its stack and callee-saved registers must be as
        its calling convention leaves them."""
        uc, call = self.uc, self.current.frames[-1].call
        expected = self.current.frames[-1].call_esp + 4 + (4 * len(call.args) if call.stdcall else 0)
        if uc.reg_read(UC_X86_REG_ESP) != expected:
            raise Failure("%s returned with ESP 0x%x, not 0x%x: another calling convention"
                          % (call.name, uc.reg_read(UC_X86_REG_ESP), expected))
        for register, sentinel in SENTINELS.items():
            if uc.reg_read(register) != sentinel:
                raise Failure("%s did not preserve a callee-saved register (0x%x, was 0x%x)"
                              % (call.name, uc.reg_read(register), sentinel))
        self.advance(uc.reg_read(UC_X86_REG_EAX))

    def advance(self, value):
        """Runs the current thread's innermost host routine on to its next call into the module, or to its
        end."""
        uc, frame = self.uc, self.current.frames[-1]
        try:
            call = frame.routine.send(value)
        except StopIteration as end:
            self.current.frames.pop()
            if frame.kind == "import":
                for register, saved in frame.saved.items():
                    uc.reg_write(register, saved)
                uc.reg_write(UC_X86_REG_EAX, (end.value or 0) & 0xFFFFFFFF)
                uc.reg_write(UC_X86_REG_EIP, self.get32(frame.esp))
                uc.reg_write(UC_X86_REG_ESP, frame.esp + 4 + frame.pop)
            elif frame.kind == "thread":
                self.current.exited = True
                self.switch(None)
            else:
                uc.reg_write(UC_X86_REG_EIP, self.at_end)
            return
        esp = frame.esp - 4 * len(call.args) - 4
        self.write(esp, struct.pack("<%dI" % (len(call.args) + 1), self.at_return, *call.args))
        frame.call, frame.call_esp = call, esp
        for register, sentinel in SENTINELS.items():
            uc.reg_write(register, sentinel)
        uc.reg_write(UC_X86_REG_ESP, esp)
        uc.reg_write(UC_X86_REG_EIP, call.function)

    # --- The process ----------------------------------------------------------------------------------------
    def notify(self, reason):
        """The loader's calls for an attach or a detach: the TLS callbacks, then the entry point."""
        for callback in self.tls[1] if self.tls else []:
            yield Call(callback, [self.base, reason, 0], "the TLS callback at 0x%x" % callback)
        if self.entry is not None:
            ok = yield Call(self.entry, [self.base, reason, 0], "the entry point")
            if reason == DLL_PROCESS_ATTACH and not ok:
                raise Failure("the entry point refused the process attach")

    def main(self):
        yield from self.notify(DLL_PROCESS_ATTACH)
        if "ImportQuorixFile" not in self.exports:
            raise Failure("the DLL does not export ImportQuorixFile")
        # The caller: records ESP, pushes the buffer and the path, calls, records ESP again, takes back the
        # ESP it had (whatever the call left), returns.
        before, after, target = self.host_data(bytes(4)), self.host_data(bytes(4)), self.host_data(
            struct.pack("<I", self.exports["ImportQuorixFile"]))
        self.write(STUB, b"".join((b"\x89\x25", struct.pack("<I", before), b"\x68", struct.pack("<I", self.name_buffer),
                                   b"\x68", struct.pack("<I", self.path), b"\xFF\x15", struct.pack("<I", target),
                                   b"\x89\x25", struct.pack("<I", after), b"\x8B\x25", struct.pack("<I", before),
                                   b"\xC3")))
        self.result = s32((yield Call(STUB, [], "ImportQuorixFile")))
        self.esp_ok = self.get32(before) - self.get32(after) == 8
        yield from self.notify(DLL_PROCESS_DETACH)

    def thread_main(self):
        thread = self.current
        yield from self.notify(DLL_THREAD_ATTACH)
        yield Call(thread.start, [thread.parameter], "the thread routine at 0x%x" % thread.start)
        yield from self.notify(DLL_THREAD_DETACH)

    def run(self):
        self.resume(self.new_thread())
        # The emulator counts instructions only as a limit: a run given one stops after exactly that many.
        # So the process runs in stretches of LIMIT instructions, and its end is a loop of two instructions
        # that counts its turns: the stretch that reaches it executed LIMIT less the loop's instructions.
        eip, executed = self.at_main, 0
        while eip not in (self.at_end, self.at_end + 6):
            self.put32(self.end_turns, 0)
            try:
                self.uc.emu_start(eip, ROUTINES + PAGE - 1, count=LIMIT)
            except UcError as error:
                raise Failure("%s at %s" % (error, self.where(self.uc.reg_read(UC_X86_REG_EIP))))
            eip = self.uc.reg_read(UC_X86_REG_EIP)
            executed += LIMIT
            if executed > MOST_INSTRUCTIONS:
                raise Failure("more than %d instructions, now at %s" % (MOST_INSTRUCTIONS, self.where(eip)))
        self.instructions = executed - 2 * self.get32(self.end_turns) + (eip == self.at_end + 6)

    def report(self):
        return {"result": self.result, "buffer": self.read(self.name_buffer, NAME_BUFFER_SIZE).hex(),
                "vqlog": self.vqlog, "exception": self.exception, "esp_ok": self.esp_ok,
                "unimplemented": self.unimplemented, "instructions": self.instructions, "threads": self.started,
                "base": self.base, "stderr": self.stderr.decode("latin-1")}

    # --- For the imports ------------------------------------------------------------------------------------
    def last_error(self, code):
        self.put32(self.current.teb + 0x34, code)

    def fail(self, code, value=0):
        self.last_error(code)
        return value

    def handle(self, obj):
        self.next_handle += 4
        self.handles[self.next_handle] = obj
        return self.next_handle

    def file(self, handle):
        obj = self.handles.get(handle)
        if not isinstance(obj, File):
            raise WinError(ERROR_INVALID_HANDLE)
        return obj

    def host_path(self, address):
        return self.paths.host(self.cstring(address))


# --- The imports: (library, name) -> (function, number of 32-bit arguments) ---------------------------------
IMPORTS = {}
K32, CRT = "kernel32.dll", "msvcrt.dll"


def api(library, count, failure=None):
    """Registers an import. With failure, a WinError raised inside sets the last error and the function
    returns failure."""
    def register(function):
        def call(host, *args):
            try:
                return function(host, *args)
            except WinError as error:
                return host.fail(error.code, failure)
        IMPORTS[(library, function.__name__)] = (function if failure is None else call, count)
        return function
    return register


# --- Files --------------------------------------------------------------------------------------------------
@api(K32, 7, INVALID)
def CreateFileA(host, name, access, share, security, disposition, flags, template):
    path = host.host_path(name)
    readable = bool(access & (GENERIC_READ | FILE_READ_DATA))
    writable = bool(access & (GENERIC_WRITE | FILE_WRITE_DATA))
    if disposition not in (CREATE_NEW, CREATE_ALWAYS, OPEN_EXISTING, OPEN_ALWAYS, TRUNCATE_EXISTING) or (
            disposition == TRUNCATE_EXISTING and not writable):
        raise WinError(ERROR_INVALID_PARAMETER)
    info = lstat(path)
    if info is not None and stat.S_ISLNK(info.st_mode):
        info = os.stat(path) if os.path.exists(path) else None
    if info is None and disposition in (OPEN_EXISTING, TRUNCATE_EXISTING):
        raise missing(path)
    if info is not None and disposition == CREATE_NEW:
        raise WinError(ERROR_FILE_EXISTS)
    if info is not None and stat.S_ISDIR(info.st_mode) and not flags & FILE_FLAG_BACKUP_SEMANTICS:
        raise WinError(ERROR_ACCESS_DENIED)
    if read_only(info) and (writable or disposition in (CREATE_ALWAYS, TRUNCATE_EXISTING)):
        raise WinError(ERROR_ACCESS_DENIED)
    mode = (os.O_RDWR if readable and writable else os.O_WRONLY if writable else os.O_RDONLY) | os.O_CLOEXEC
    mode |= {CREATE_NEW: os.O_CREAT | os.O_EXCL, CREATE_ALWAYS: os.O_CREAT | os.O_TRUNC,
             OPEN_ALWAYS: os.O_CREAT, TRUNCATE_EXISTING: os.O_TRUNC}.get(disposition, 0)
    try:
        fd = os.open(path, mode | os.O_NONBLOCK, 0o666)  # a FIFO is opened without waiting for a writer
    except OSError as error:
        raise os_error(error)
    os.set_blocking(fd, True)
    host.last_error(ERROR_ALREADY_EXISTS if info is not None and disposition in (CREATE_ALWAYS, OPEN_ALWAYS)
                    else ERROR_SUCCESS)
    return host.handle(File(fd, readable, writable))


@api(K32, 1, 0)
def CloseHandle(host, handle):
    obj = host.handles.pop(handle, None)
    if obj is None:
        raise WinError(ERROR_INVALID_HANDLE)
    if isinstance(obj, File):
        os.close(obj.fd)
    return 1


@api(K32, 5, 0)
def ReadFile(host, handle, buffer, count, done, overlapped):
    if overlapped:
        raise Unimplemented("ReadFile with an OVERLAPPED structure")
    f = host.file(handle)
    if not f.readable:
        raise WinError(ERROR_ACCESS_DENIED)
    try:
        data = os.read(f.fd, count)
    except OSError as error:
        raise os_error(error)
    host.write(buffer, data)
    if done:
        host.put32(done, len(data))
    return 1


@api(K32, 5, 0)
def WriteFile(host, handle, buffer, count, done, overlapped):
    if overlapped:
        raise Unimplemented("WriteFile with an OVERLAPPED structure")
    f = host.file(handle)
    if not f.writable:
        raise WinError(ERROR_ACCESS_DENIED)
    data, written = host.read(buffer, count), 0
    try:
        while written < count:
            written += os.write(f.fd, data[written:])
    except OSError as error:
        raise os_error(error)
    finally:
        if done:
            host.put32(done, written)
    return 1


@api(K32, 5, 0)  # the LARGE_INTEGER distance takes two argument slots
def SetFilePointerEx(host, handle, low, high, position, method):
    f = host.file(handle)
    if method not in (0, 1, 2):
        raise WinError(ERROR_INVALID_PARAMETER)
    origin = (0, os.lseek(f.fd, 0, os.SEEK_CUR), os.fstat(f.fd).st_size)[method]
    target = origin + s32(high) * (1 << 32) + low
    if target < 0:
        raise WinError(ERROR_NEGATIVE_SEEK)
    os.lseek(f.fd, target, os.SEEK_SET)
    if position:
        host.write(position, struct.pack("<q", target))
    return 1


@api(K32, 2, 0)
def GetFileSizeEx(host, handle, size):
    host.write(size, struct.pack("<q", os.fstat(host.file(handle).fd).st_size))
    return 1


@api(K32, 1, FILE_TYPE_UNKNOWN)
def GetFileType(host, handle):
    mode = os.fstat(host.file(handle).fd).st_mode
    host.last_error(ERROR_SUCCESS)  # which tells FILE_TYPE_UNKNOWN of a device from a failure
    if stat.S_ISREG(mode) or stat.S_ISDIR(mode):
        return FILE_TYPE_DISK
    return FILE_TYPE_PIPE if stat.S_ISFIFO(mode) or stat.S_ISSOCK(mode) else FILE_TYPE_CHAR


def attributes_of(path):
    """The attributes of what `path` names, and its stat (of the link's target where there is one)."""
    info = lstat(path)
    if info is None:
        raise missing(path)
    attributes = 0
    if stat.S_ISLNK(info.st_mode):
        attributes = FILE_ATTRIBUTE_REPARSE_POINT
        info = os.stat(path) if os.path.exists(path) else info
    attributes |= FILE_ATTRIBUTE_DIRECTORY if stat.S_ISDIR(info.st_mode) else FILE_ATTRIBUTE_ARCHIVE
    return attributes | (FILE_ATTRIBUTE_READONLY if read_only(info) else 0), info


def filetime(nanoseconds):
    """A FILETIME: 100-nanosecond steps since 1601."""
    return struct.pack("<Q", nanoseconds // 100 + 116444736000000000)


def times_and_size(info):
    """Creation, last access and last write times, then the size's high and low halves."""
    return (filetime(info.st_ctime_ns) + filetime(info.st_atime_ns) + filetime(info.st_mtime_ns) +
            struct.pack("<II", info.st_size >> 32, info.st_size & 0xFFFFFFFF))


@api(K32, 1, INVALID)
def GetFileAttributesA(host, name):
    return attributes_of(host.host_path(name))[0]


@api(K32, 3, 0)
def GetFileAttributesExA(host, name, level, data):
    if level != 0:  # GetFileExInfoStandard
        raise Unimplemented("GetFileAttributesExA of information level %d" % level)
    attributes, info = attributes_of(host.host_path(name))
    host.write(data, struct.pack("<I", attributes) + times_and_size(info))  # WIN32_FILE_ATTRIBUTE_DATA
    return 1


@api(K32, 2, 0)
def GetFileInformationByHandle(host, handle, data):
    info = os.fstat(host.file(handle).fd)
    attributes = FILE_ATTRIBUTE_DIRECTORY if stat.S_ISDIR(info.st_mode) else FILE_ATTRIBUTE_ARCHIVE
    host.write(data, struct.pack("<I", attributes) + times_and_size(info)[:24] +  # BY_HANDLE_FILE_INFORMATION
               struct.pack("<IIIIII", info.st_dev & 0xFFFFFFFF, info.st_size >> 32, info.st_size & 0xFFFFFFFF,
                           info.st_nlink, info.st_ino >> 32, info.st_ino & 0xFFFFFFFF))
    return 1


@api(K32, 1, 0)
def SetEndOfFile(host, handle):
    f = host.file(handle)
    if not f.writable:
        raise WinError(ERROR_ACCESS_DENIED)
    os.ftruncate(f.fd, os.lseek(f.fd, 0, os.SEEK_CUR))
    return 1


def found(host, search, data):
    """Hands the next name of a search back in a WIN32_FIND_DATAA; False when there is none."""
    if not search.names:
        return False
    name = search.names.pop(0)
    attributes, info = attributes_of(os.path.join(search.folder, name))
    host.write(data, struct.pack("<I", attributes) + times_and_size(info) + struct.pack("<II", 0, 0) +
               to_ansi(name)[:259].ljust(260, b"\0") + b"\0" * 14)
    return True


@api(K32, 2, INVALID)
def FindFirstFileA(host, pattern, data):
    path = host.host_path(pattern)
    folder, mask = os.path.split(path)
    if mask != "*":
        raise Unimplemented("FindFirstFileA of the pattern %r" % mask)
    if not os.path.isdir(folder):
        raise missing(path)
    search = Search(folder, [".", ".."] + sorted(os.listdir(folder)))
    found(host, search, data)
    return host.handle(search)


@api(K32, 2, 0)
def FindNextFileA(host, handle, data):
    search = host.handles.get(handle)
    if not isinstance(search, Search):
        raise WinError(ERROR_INVALID_HANDLE)
    if not found(host, search, data):
        raise WinError(ERROR_NO_MORE_FILES)
    return 1


@api(K32, 1, 0)
def FindClose(host, handle):
    if not isinstance(host.handles.pop(handle, None), Search):
        raise WinError(ERROR_INVALID_HANDLE)
    return 1


@api(K32, 4, 0)
def GetFullPathNameA(host, name, room, buffer, file_part):
    path = host.cstring(name).decode("latin-1").replace("/", "\\")
    if not (len(path) >= 3 and path[1] == ":" and path[2] == "\\"):
        raise Unimplemented("GetFullPathNameA of the relative path %r" % path)
    parts = []
    for part in path[3:].split("\\"):
        if part == "..":
            parts = parts[:-1]
        elif part not in ("", "."):
            parts.append(part)
    full = (path[:3] + "\\".join(parts)).encode("latin-1")
    if len(full) + 1 > room:
        return len(full) + 1
    host.write(buffer, full + b"\0")
    if file_part:
        host.put32(file_part, buffer + full.rfind(b"\\") + 1 if parts else 0)
    return len(full)


@api(K32, 1, 0)
def DeleteFileA(host, name):
    path = host.host_path(name)
    info = lstat(path)
    if info is None:
        raise missing(path)
    if stat.S_ISDIR(info.st_mode) or read_only(info):
        raise WinError(ERROR_ACCESS_DENIED)
    try:
        os.unlink(path)
    except OSError as error:
        raise os_error(error)
    return 1


@api(K32, 3, 0)
def MoveFileExA(host, existing, new, flags):
    if flags & ~(MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) or not new:
        raise Unimplemented("MoveFileExA with flags 0x%x%s" % (flags, "" if new else " and no new name"))
    source, target = host.host_path(existing), host.host_path(new)
    if lstat(source) is None:
        raise missing(source)
    there = lstat(target)
    if there is not None and not flags & MOVEFILE_REPLACE_EXISTING:
        raise WinError(ERROR_ALREADY_EXISTS)
    if there is not None and (stat.S_ISDIR(there.st_mode) or read_only(there)):
        raise WinError(ERROR_ACCESS_DENIED)
    try:
        os.rename(source, target)
    except OSError as error:
        if error.errno != errno.EXDEV or not flags & MOVEFILE_COPY_ALLOWED:
            raise os_error(error)
        shutil.copy2(source, target)
        os.unlink(source)
    return 1


@api(K32, 3, 0)
def CopyFileA(host, existing, new, fail_if_exists):
    source, target = host.host_path(existing), host.host_path(new)
    info, there = lstat(source), lstat(target)
    if info is None:
        raise missing(source)
    if there is not None and fail_if_exists:
        raise WinError(ERROR_FILE_EXISTS)
    if stat.S_ISDIR(info.st_mode) or there is not None and (stat.S_ISDIR(there.st_mode) or read_only(there)):
        raise WinError(ERROR_ACCESS_DENIED)
    try:
        shutil.copyfile(source, target)
        shutil.copymode(source, target)
    except OSError as error:
        raise os_error(error)
    return 1


@api(K32, 3, 0)
def CreateHardLinkA(host, new, existing, security):
    target, source = host.host_path(new), host.host_path(existing)
    info = lstat(source)
    if info is None:
        raise missing(source)
    if stat.S_ISDIR(info.st_mode):
        raise WinError(ERROR_ACCESS_DENIED)
    if lstat(target) is not None:
        raise WinError(ERROR_ALREADY_EXISTS)
    try:
        os.link(source, target, follow_symlinks=False)
    except OSError as error:
        if error.errno in (errno.EPERM, errno.ENOTSUP):  # a file system without second names
            raise WinError(ERROR_NOT_SUPPORTED)
        raise os_error(error)
    return 1


@api(K32, 0)
def GetLastError(host):
    return host.get32(host.current.teb + 0x34)


@api(K32, 1)
def SetLastError(host, code):
    host.last_error(code)


@api(K32, 7)
def FormatMessageA(host, flags, source, message, language, buffer, size, arguments):
    allocate = flags & FORMAT_MESSAGE_ALLOCATE_BUFFER
    if flags & ~FORMAT_MESSAGE_ALLOCATE_BUFFER != FORMAT_MESSAGE_SYSTEM_TEXT:
        raise Unimplemented("FormatMessageA with flags 0x%x" % flags)
    if message not in SYSTEM_MESSAGES:
        return host.fail(ERROR_MR_MID_NOT_FOUND)
    text = SYSTEM_MESSAGES[message].encode() + b"\r\n"
    if allocate:  # `buffer` receives a block of the local heap, which the caller frees with LocalFree
        block = host.malloc(len(text) + 1)
        host.write(block, text + b"\0")
        host.put32(buffer, block)
        return len(text)
    if len(text) >= size:
        return host.fail(ERROR_INSUFFICIENT_BUFFER)
    host.write(buffer, text + b"\0")
    return len(text)


@api(K32, 1)
def LocalFree(host, block):
    if block:
        host.free(block)
    return 0  # null: freed


# --- Modules ------------------------------------------------------------------------------------------------
# Handles of the system's libraries, for GetProcAddress; none of them is mapped.
SYSTEM_MODULES = {K32: 0x7B000000, CRT: 0x7B100000, "user32.dll": 0x7B200000, "vqlog.dll": 0x7B300000}


def module_named(host, name):
    name = name.lower() if "." in name else name.lower() + ".dll"
    if name == "quorix_marker.dll":
        return host.base
    if name not in SYSTEM_MODULES:
        raise WinError(ERROR_MOD_NOT_FOUND)
    return SYSTEM_MODULES[name]


@api(K32, 1, 0)
def GetModuleHandleA(host, name):
    return HOST_EXE if name == 0 else module_named(host, ansi(host.cstring(name)))


@api(K32, 1, 0)
def GetModuleHandleW(host, name):
    return HOST_EXE if name == 0 else module_named(host, host.wstring(name))


@api(K32, 3, 0)
def GetModuleHandleExA(host, flags, name, module):
    if flags & ~GET_MODULE_HANDLE_EX_FLAGS:
        raise WinError(ERROR_INVALID_PARAMETER)
    host.put32(module, 0)
    if flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS:
        if not host.base <= name < host.base + host.size:
            raise WinError(ERROR_MOD_NOT_FOUND)
        found = host.base
    else:
        found = HOST_EXE if name == 0 else module_named(host, ansi(host.cstring(name)))
    host.put32(module, found)
    return 1


@api(K32, 1, 0)
def LoadLibraryA(host, name):
    return module_named(host, ansi(host.cstring(name)))


@api(K32, 1, 0)
def LoadLibraryW(host, name):
    return module_named(host, host.wstring(name))


@api(K32, 1, 0)
def FreeLibrary(host, module):
    if module != host.base and module not in SYSTEM_MODULES.values():
        raise WinError(ERROR_INVALID_HANDLE)
    return 1


@api(K32, 2, 0)
def GetProcAddress(host, module, name):
    if name < 0x10000:
        raise Unimplemented("GetProcAddress by ordinal %d" % name)
    text = host.cstring(name).decode("latin-1")
    if module == host.base:
        if text not in host.exports:
            raise WinError(ERROR_PROC_NOT_FOUND)
        return host.exports[text]
    library = next((library for library, handle in SYSTEM_MODULES.items() if handle == module), None)
    if library is None:
        raise WinError(ERROR_MOD_NOT_FOUND)
    if (library, text) not in IMPORTS:
        raise Unimplemented("%s!%s (through GetProcAddress)" % (library, text))
    return host.thunk(library, text)


# --- Memory -------------------------------------------------------------------------------------------------
@api(K32, 3, 0)
def VirtualQuery(host, address, info, length):
    """MEMORY_BASIC_INFORMATION of the pages from the address's on that have its page's protection."""
    if length < 28:
        raise WinError(ERROR_BAD_LENGTH)
    page = address & ~(PAGE - 1)
    regions = sorted(host.uc.mem_regions())
    if host.base <= page < host.base + host.size:
        protection, end = host.page_protection[page], page
        while end < host.base + host.size and host.page_protection[end] == protection:
            end += PAGE
        fields = (page, host.base, 0x80, end - page, MEM_COMMIT, protection, MEM_IMAGE)  # PAGE_EXECUTE_WRITECOPY
    else:
        region = next(((begin, end) for begin, end, _ in regions if begin <= address <= end), None)
        if region is None:
            following = next((begin for begin, _, _ in regions if begin > address), USER_END)
            fields = (page, 0, 0, following - page, MEM_FREE, 0x01, 0)
        else:
            protection = next(EMULATOR_PAGES[p] for b, _, p in regions if b == region[0])
            fields = (page, region[0], protection, region[1] + 1 - page, MEM_COMMIT, protection, MEM_PRIVATE)
    host.write(info, struct.pack("<7I", *fields))
    return 28


@api(K32, 4, 0)
def VirtualProtect(host, address, size, protection, old):
    first, end = address & ~(PAGE - 1), (address + size + PAGE - 1) & ~(PAGE - 1)
    if protection not in PAGE_PROTECTIONS or size == 0 or not old:
        raise WinError(ERROR_INVALID_PARAMETER)
    if not host.base <= first < end <= host.base + host.size:
        raise Unimplemented("VirtualProtect outside the module's image")
    host.put32(old, host.page_protection[first])
    host.protect(first, end - first, protection)
    return 1


# --- Threads and what they share ----------------------------------------------------------------------------
@api(K32, 6, 0)
def CreateThread(host, security, stack_size, start, parameter, flags, thread_id):
    if flags & ~0x10000:  # STACK_SIZE_PARAM_IS_A_RESERVATION changes nothing here
        raise Unimplemented("CreateThread with flags 0x%x" % flags)
    thread = host.new_thread()
    thread.start, thread.parameter = start, parameter
    thread.context[UC_X86_REG_EIP] = host.at_thread_start
    host.started += 1
    if thread_id:
        host.put32(thread_id, thread.tid)
    return host.handle(thread)


@api(K32, 0)
def GetCurrentThreadId(host):
    return host.current.tid


@api(K32, 2, INVALID)
def WaitForSingleObject(host, handle, milliseconds):
    obj = host.handles.get(handle)
    if isinstance(obj, Mutex):
        # Threads take turns here, so a wait with a timeout waits until the owner lets go: a timeout could
        # only pass while the owner cannot run.
        if obj.owner in (None, host.current.tid):
            obj.owner, obj.count = host.current.tid, obj.count + 1
            return WAIT_OBJECT_0
        if milliseconds == 0:
            return WAIT_TIMEOUT
        raise Wait(lambda: obj.owner is None, "WaitForSingleObject for a mutex")
    if milliseconds not in (0, INFINITE):
        raise Unimplemented("WaitForSingleObject with a timeout of %d ms" % milliseconds)
    if isinstance(obj, Thread):
        if obj.exited:
            return WAIT_OBJECT_0
        if milliseconds == 0:
            return WAIT_TIMEOUT
        raise Wait(lambda: obj.exited, "WaitForSingleObject for thread 0x%x" % obj.tid)
    if not isinstance(obj, Semaphore):
        raise WinError(ERROR_INVALID_HANDLE)
    if obj.count > 0:
        obj.count -= 1
        return WAIT_OBJECT_0
    if milliseconds == 0:
        return WAIT_TIMEOUT
    raise Wait(lambda: obj.count > 0, "WaitForSingleObject for a semaphore")


@api(K32, 3, 0)
def CreateMutexA(host, security, initial_owner, name):
    key = host.cstring(name) if name else None
    mutex = host.mutexes.get(key) if key is not None else None
    existed = mutex is not None
    if mutex is None:
        mutex = Mutex()
        if key is not None:
            host.mutexes[key] = mutex
    if initial_owner and not existed:
        mutex.owner, mutex.count = host.current.tid, 1
    host.last_error(ERROR_ALREADY_EXISTS if existed else ERROR_SUCCESS)
    return host.handle(mutex)


@api(K32, 1, 0)
def ReleaseMutex(host, handle):
    mutex = host.handles.get(handle)
    if not isinstance(mutex, Mutex):
        raise WinError(ERROR_INVALID_HANDLE)
    if mutex.owner != host.current.tid:
        raise WinError(ERROR_NOT_OWNER)
    mutex.count -= 1
    if mutex.count == 0:
        mutex.owner = None
    return 1


@api(K32, 4, 0)
def CreateSemaphoreW(host, security, initial, most, name):
    if name:
        raise Unimplemented("CreateSemaphoreW with a name")
    if s32(most) <= 0 or not 0 <= s32(initial) <= s32(most):
        raise WinError(ERROR_INVALID_PARAMETER)
    return host.handle(Semaphore(initial, most))


@api(K32, 3, 0)
def ReleaseSemaphore(host, handle, count, previous):
    obj = host.handles.get(handle)
    if not isinstance(obj, Semaphore):
        raise WinError(ERROR_INVALID_HANDLE)
    if s32(count) <= 0:
        raise WinError(ERROR_INVALID_PARAMETER)
    if obj.count + count > obj.most:
        raise WinError(ERROR_TOO_MANY_POSTS)
    if previous:
        host.put32(previous, obj.count)
    obj.count += count
    return 1


@api(K32, 1)
def Sleep(host, milliseconds):
    raise Yield()


def enter(host, key, what):
    section = host.sections.get(key)
    if section is None:
        raise Failure("%s of a section never initialised" % what)
    if section[0] not in (None, host.current):
        raise Wait(lambda: section[0] is None, what)
    section[0] = host.current
    section[1] += 1


def leave(host, key, what):
    section = host.sections.get(key)
    if section is None or section[0] is not host.current:
        raise Failure("%s by a thread that does not hold it" % what)
    section[1] -= 1
    if section[1] == 0:
        section[0] = None


@api(K32, 1)
def InitializeCriticalSection(host, section):
    host.sections[section] = [None, 0]
    # DebugInfo, LockCount -1 (free), RecursionCount, OwningThread, LockSemaphore, SpinCount
    host.write(section, struct.pack("<6I", 0, 0xFFFFFFFF, 0, 0, 0, 0))


@api(K32, 1)
def EnterCriticalSection(host, section):
    enter(host, section, "EnterCriticalSection(0x%x)" % section)


@api(K32, 1)
def LeaveCriticalSection(host, section):
    leave(host, section, "LeaveCriticalSection(0x%x)" % section)


@api(K32, 1)
def DeleteCriticalSection(host, section):
    if host.sections.pop(section, None) is None:
        raise Failure("DeleteCriticalSection(0x%x) of a section never initialised" % section)


@api(K32, 0, INVALID)
def TlsAlloc(host):
    index = next((i for i in range(1, TLS_SLOTS) if i not in host.tls_used), None)
    if index is None:
        raise WinError(ERROR_NOT_ENOUGH_MEMORY)
    host.tls_used.add(index)
    for thread in host.threads:  # a new index holds 0 in every thread
        thread.tls.pop(index, None)
    return index


@api(K32, 1, 0)
def TlsFree(host, index):
    if index not in host.tls_used:
        raise WinError(ERROR_INVALID_PARAMETER)
    host.tls_used.discard(index)
    return 1


@api(K32, 1, 0)
def TlsGetValue(host, index):
    if index not in host.tls_used:
        raise WinError(ERROR_INVALID_PARAMETER)
    host.last_error(ERROR_SUCCESS)  # which tells a stored 0 from a failure
    return host.current.tls.get(index, 0)


@api(K32, 2, 0)
def TlsSetValue(host, index, value):
    if index not in host.tls_used:
        raise WinError(ERROR_INVALID_PARAMETER)
    host.current.tls[index] = value
    return 1


# --- The system ---------------------------------------------------------------------------------------------
@api(K32, 1)
def GetSystemInfo(host, info):
    # PROCESSOR_ARCHITECTURE_INTEL, the page size, the application's addresses, the processors' mask and
    # number, PROCESSOR_INTEL_PENTIUM, the allocation granularity, level 6 (i686), revision
    host.write(info, struct.pack("<HHIIIIIIIHH", 0, 0, PAGE, 0x10000, USER_END - 0x10001,
                                 (1 << host.processors) - 1, host.processors, 586, 0x10000, 6, 0))


@api(K32, 1)
def GetSystemTimeAsFileTime(host, filetime):
    host.write(filetime, struct.pack("<Q", time.time_ns() // 100 + 116444736000000000))


# Not imported, but looked up by the runtime, which finds it on Windows 8 and later.
IMPORTS[(K32, "GetSystemTimePreciseAsFileTime")] = IMPORTS[(K32, "GetSystemTimeAsFileTime")]


@api(K32, 1)
def GetTimeZoneInformation(host, info):
    host.write(info, bytes(172))  # UTC, without daylight saving time
    return 0  # TIME_ZONE_ID_UNKNOWN


@api(K32, 2)
def IsDBCSLeadByteEx(host, code_page, byte):
    return 0  # code page 1252 has no lead bytes


def code_page(number):
    """(decode, encode) of a code page: the ANSI one (1252) or UTF-8."""
    if number in (0, 1252):
        return ansi, to_ansi
    if number == 65001:
        return (lambda data: data.decode("utf-8", "replace")), (lambda text: text.encode("utf-8", "surrogatepass"))
    raise Unimplemented("code page %d" % number)


@api(K32, 6, 0)
def MultiByteToWideChar(host, number, flags, source, length, target, room):
    data = host.cstring(source) + b"\0" if s32(length) == -1 else host.read(source, length)
    units = code_page(number)[0](data).encode("utf-16-le", "surrogatepass")
    if room and len(units) > 2 * room:
        raise WinError(ERROR_INSUFFICIENT_BUFFER)
    if room:
        host.write(target, units)
    return len(units) // 2


@api(K32, 8, 0)
def WideCharToMultiByte(host, number, flags, source, length, target, room, default, used_default):
    text = host.wstring(source) + "\0" if s32(length) == -1 else \
        host.read(source, 2 * length).decode("utf-16-le", "surrogatepass")
    data = code_page(number)[1](text)
    if used_default:
        host.put32(used_default, 0)
    if room and len(data) > room:
        raise WinError(ERROR_INSUFFICIENT_BUFFER)
    if room:
        host.write(target, data)
    return len(data)


# --- Resources ----------------------------------------------------------------------------------------------
def resource(host, directory, key):
    """(offset, whether a directory) of an entry of one of the module's resource directories; key None takes
    English (United States) when there, else the first entry."""
    root = host.base + host.resources
    named, ids = struct.unpack("<HH", host.read(root + directory + 12, 4))
    entries = [struct.unpack("<II", host.read(root + directory + 16 + 8 * i, 8)) for i in range(named + ids)]
    entries = [entry for entry in entries if not entry[0] & 0x80000000]
    chosen = next((entry for entry in entries if entry[0] == (LANG_EN_US if key is None else key)),
                  entries[0] if key is None and entries else None)
    return None if chosen is None else (chosen[1] & 0x7FFFFFFF, bool(chosen[1] & 0x80000000))


@api("user32.dll", 4)
def LoadStringA(host, module, number, buffer, room):
    """The string of a number from the module's string table, in blocks of 16 counted UTF-16 strings."""
    if module != host.base or room == 0:
        raise Unimplemented("LoadStringA from module 0x%x into %d bytes" % (module, room))
    text = None
    found = host.resources and resource(host, 0, RT_STRING)
    found = found and found[1] and resource(host, found[0], (number >> 4) + 1)
    found = found and found[1] and resource(host, found[0], None)
    if found and not found[1]:
        rva, size = struct.unpack("<II", host.read(host.base + host.resources + found[0], 8))
        block, at = host.read(host.base + rva, size), 0
        for _ in range(number & 15):
            at += 2 + 2 * struct.unpack_from("<H", block, at)[0]
        length = struct.unpack_from("<H", block, at)[0]
        text = block[at + 2:at + 2 + 2 * length].decode("utf-16-le") if length else None
    if text is None:
        host.write(buffer, b"\0")
        return host.fail(ERROR_RESOURCE_NAME_NOT_FOUND)
    data = to_ansi(text)[:room - 1]
    host.write(buffer, data + b"\0")
    return len(data)


# --- The host's error log -----------------------------------------------------------------------------------
@api("vqlog.dll", 4)
def dll_vq_log_error(host, level, code, text, detail):
    text, detail = host.cstring(text), host.cstring(detail)
    host.vqlog.append([s32(level), s32(code)] + [None if s is None else s.hex() for s in (text, detail)])


# --- The C runtime ------------------------------------------------------------------------------------------
@api(CRT, 1)
def malloc(host, size):
    return host.malloc(size)


@api(CRT, 2)
def calloc(host, count, size):
    if count * size >= 1 << 31:
        return 0
    address = host.malloc(count * size)
    host.write(address, bytes(count * size))
    return address


@api(CRT, 2)
def realloc(host, address, size):
    if address and address not in host.heap_blocks:
        raise Failure("realloc of 0x%x, which is no allocated block" % address)
    if address and size == 0:
        host.free(address)
        return 0
    moved = host.malloc(size)
    if address:
        host.write(moved, host.read(address, min(host.heap_blocks[address], size)))
        host.free(address)
    return moved


@api(CRT, 1)
def free(host, address):
    host.free(address)


@api(CRT, 3)
def memcpy(host, target, source, count):
    if count:
        host.write(target, host.read(source, count))
    return target


IMPORTS[(CRT, "memmove")] = IMPORTS[(CRT, "memcpy")]  # the bytes are read whole before any is written


@api(CRT, 3)
def memset(host, target, value, count):
    if count:
        host.write(target, bytes([value & 0xFF]) * count)
    return target


def compare(a, b):
    return ((a > b) - (a < b)) & 0xFFFFFFFF


@api(CRT, 3)
def memcmp(host, a, b, count):
    return compare(host.read(a, count), host.read(b, count)) if count else 0


@api(CRT, 3)
def memchr(host, source, value, count):
    at = host.read(source, count).find(value & 0xFF) if count else -1
    return 0 if at < 0 else source + at


@api(CRT, 1)
def strlen(host, text):
    return len(host.cstring(text))


@api(CRT, 1)
def wcslen(host, text):
    return len(host.wstring(text).encode("utf-16-le", "surrogatepass")) // 2


@api(CRT, 2)
def strcmp(host, a, b):
    return compare(host.cstring(a), host.cstring(b))


@api(CRT, 3)
def strncmp(host, a, b, count):
    return compare(host.cstring(a)[:count], host.cstring(b)[:count])


@api(CRT, 2)
def strchr(host, text, value):
    at = (host.cstring(text) + b"\0").find(value & 0xFF)
    return 0 if at < 0 else text + at


@api(CRT, 1)
def atoi(host, text):
    """White space, a sign, decimal digits accumulated in 32 bits (an overlong number wraps)."""
    data = host.cstring(text).lstrip(b" \t\n\v\f\r")
    negative = data[:1] == b"-"
    data, value = data[1:] if data[:1] in (b"-", b"+") else data, 0
    for digit in data:
        if not 0x30 <= digit <= 0x39:
            break
        value = (value * 10 + digit - 0x30) & 0xFFFFFFFF
    return -value if negative else value


@api(CRT, 1)
def strerror(host, number):
    if not hasattr(host, "strerror_buffer"):
        host.strerror_buffer = host.host_data(bytes(64))
    host.write(host.strerror_buffer, CRT_ERRORS.get(number, "Unknown error").encode() + b"\0")
    return host.strerror_buffer


@api(CRT, 0)
def localeconv(host):
    if not hasattr(host, "lconv"):  # the C locale's: ".", empty strings, CHAR_MAX for the numbers
        dot, empty = host.host_data(b".\0"), host.host_data(b"\0")
        host.lconv = host.host_data(struct.pack("<9I", dot, *[empty] * 8) + b"\x7F" * 8)
    return host.lconv


@api(CRT, 2)
def setlocale(host, category, locale):
    if host.cstring(locale) not in (None, b"C"):
        raise Unimplemented("setlocale to %r" % host.cstring(locale))
    if not hasattr(host, "c_locale"):
        host.c_locale = host.host_data(b"C\0")
    return host.c_locale


@api(CRT, 0)
def _errno(host):
    return host.current.errno


@api(CRT, 0)
def _getpid(host):
    return os.getpid()


@api(CRT, 1)
def _lock(host, number):
    host.sections.setdefault(("crt", number), [None, 0])
    enter(host, ("crt", number), "_lock(%d)" % number)


@api(CRT, 1)
def _unlock(host, number):
    leave(host, ("crt", number), "_unlock(%d)" % number)


@api(CRT, 2)
def _initterm(host, begin, end):
    for at in range(begin, end, 4):
        function = host.get32(at)
        if function:
            yield Call(function, [], "the initialiser at 0x%x" % function, stdcall=False)


def put(host, stream, data):
    if stream not in (host.iob + 32, host.iob + 64):
        raise Unimplemented("output to a FILE other than stdout and stderr")
    host.stderr += data
    sys.stderr.buffer.write(data)
    sys.stderr.flush()


@api(CRT, 4)
def fwrite(host, data, size, count, stream):
    put(host, stream, host.read(data, size * count))
    return count


@api(CRT, 2)
def fputs(host, text, stream):
    put(host, stream, host.cstring(text))
    return 0


@api(CRT, 2)
def fputc(host, char, stream):
    put(host, stream, bytes([char & 0xFF]))
    return char & 0xFF


@api(CRT, 3)
def vfprintf(host, stream, form, args):
    put(host, stream, printf(host, host.cstring(form), args))
    return 0


def printf(host, form, args):
    """The C runtime's formatting, for the conversions of the runtime's own messages."""
    out, at = bytearray(), 0
    while at < len(form):
        end = form.find(b"%", at)
        if end < 0:
            return bytes(out + form[at:])
        out += form[at:end]
        at = end + 1
        while at < len(form) and form[at] in b"-+ #0123456789.hl":
            at += 1
        flags, conversion = form[end:at].decode().replace("h", "").replace("l", ""), form[at:at + 1].decode()
        at += 1
        if conversion == "%":
            out += b"%"
        elif conversion and conversion in "diuxXcsp":
            value = host.get32(args)
            args += 4
            if conversion == "s":
                out += to_ansi((flags + "s") % ansi(host.cstring(value) or b"(null)"))
            elif conversion == "p":
                out += b"%08X" % value
            else:
                out += ((flags + conversion) % (chr(value & 0xFF) if conversion == "c" else
                                               s32(value) if conversion in "di" else value)).encode()
        else:
            raise Unimplemented("printf conversion %s%s" % (flags, conversion))
    return bytes(out)


@api(CRT, 0)
def abort(host):
    put(host, host.iob + 64, b"\nThis application has requested the Runtime to terminate it in an unusual way.\n")
    raise Ended()


@api(CRT, 3)
def _assert(host, expression, file, line):
    put(host, host.iob + 64, b"Assertion failed: %s, file %s, line %d\n"
        % (host.cstring(expression), host.cstring(file), line))
    return abort(host)


@api(CRT, 1)
def _amsg_exit(host, number):
    put(host, host.iob + 64, b"\nruntime error R60%02d\n" % number)
    raise Ended()


@api(CRT, 3)
def _read(host, descriptor, buffer, count):
    host.put32(host.current.errno, EBADF)  # the module opens no descriptor of the runtime
    return INVALID


@api(CRT, 1)
def _close(host, descriptor):
    host.put32(host.current.errno, EBADF)
    return INVALID


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("dll")
    parser.add_argument("file", type=os.fsencode, help="the path handed to ImportQuorixFile")
    parser.add_argument("--temp", required=True, help="the folder of c:\\workbase\\temp")
    parser.add_argument("--cwd", default=".", help="the process's current folder")
    parser.add_argument("--base", type=lambda text: int(text, 16),
                        help="image base (hex, 64 KiB aligned, from 0x%x to 0x%x)" % (FREE_SPACE, USER_END))
    parser.add_argument("--processors", type=int, default=4, choices=range(1, 33))
    parser.add_argument("--symbols", help="the DLL before it was stripped, to name the place of a fault")
    options = parser.parse_args()
    host = None
    try:
        host = Host(options.dll, options.file, os.path.abspath(options.temp), os.path.abspath(options.cwd),
                    options.base, options.processors, options.symbols)
        host.run()
        print(json.dumps(host.report()))
        return 0
    except Exception as error:  # noqa: B902 (whatever stopped the emulation is its failure)
        report = host.report() if host else {}
        if isinstance(error, Unimplemented):
            report["unimplemented"] = report.get("unimplemented", []) + [str(error)]
        report["error"] = str(error) if isinstance(error, (Failure, Unimplemented)) else repr(error)
        print(json.dumps(report))
        return 2


if __name__ == "__main__":
    sys.exit(main())
