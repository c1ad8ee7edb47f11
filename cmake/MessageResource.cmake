# Writes the resource script of the import module: its string table, taken from the message table in
# platform/MessageTexts.h so that the texts have one source, and its version resource.
#
#   cmake -DMESSAGE_TABLE=<MessageTexts.h> -DOUTPUT=<file.rc> -DVERSION=<a.b.c[.d]> -DMODULE_NAME=<name>
#         -DDESCRIPTION=<text> [-DLICENSE_FILE=<LICENSE>] -P MessageResource.cmake
#
# With LICENSE_FILE, the version resource's LegalCopyright holds the licence's copyright line and the name
# of the licence (its first line).
cmake_minimum_required(VERSION 3.25)

foreach(required MESSAGE_TABLE OUTPUT VERSION MODULE_NAME)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "MessageResource.cmake: ${required} is not set")
    endif()
endforeach()

file(READ "${MESSAGE_TABLE}" table)
# Entries look like {1, "text"}; a text may hold escaped characters such as \".
string(REGEX MATCHALL "{[ \t]*[0-9]+[ \t]*,[ \t]*\"([^\"\\\\]|\\\\.)*\"[ \t]*}" entries "${table}")
if(NOT entries)
    message(FATAL_ERROR "MessageResource.cmake: no {id, \"text\"} entries in ${MESSAGE_TABLE}")
endif()

set(ids "")
set(lines "")
foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^{[ \t]*([0-9]+).*$" "\\1" id "${entry}")
    string(REGEX REPLACE "^{[ \t]*[0-9]+[ \t]*,[ \t]*\"(.*)\"[ \t]*}$" "\\1" text "${entry}")
    if(id IN_LIST ids)
        message(FATAL_ERROR "MessageResource.cmake: message id ${id} appears twice in ${MESSAGE_TABLE}")
    endif()
    list(APPEND ids ${id})
    # A C string and a resource string share their escapes except the quote, which a resource script
    # doubles.
    string(REPLACE "\\\"" "\"\"" text "${text}")
    string(APPEND lines "    ${id}, \"${text}\"\n")
endforeach()

string(REPLACE "." ";" parts "${VERSION}")
list(LENGTH parts count)
while(count LESS 4)
    list(APPEND parts 0)
    list(LENGTH parts count)
endwhile()
list(SUBLIST parts 0 4 parts)
list(JOIN parts "," versionNumbers)
list(JOIN parts "." versionText)
if(NOT DEFINED DESCRIPTION)
    set(DESCRIPTION "${MODULE_NAME}")
endif()
set(copyrightValue "")
if(DEFINED LICENSE_FILE)
    file(STRINGS "${LICENSE_FILE}" licenseName LIMIT_COUNT 1)
    file(STRINGS "${LICENSE_FILE}" copyrightLine REGEX "^Copyright " LIMIT_COUNT 1)
    if(NOT licenseName OR NOT copyrightLine OR "${licenseName}${copyrightLine}" MATCHES "\"")
        message(FATAL_ERROR "MessageResource.cmake: no licence name and copyright line in ${LICENSE_FILE}")
    endif()
    set(copyrightValue "            VALUE \"LegalCopyright\", \"${copyrightLine}. ${licenseName}.\"\n")
endif()

set(script "// Generated at build time from platform/MessageTexts.h and the project version; do not edit.
#include <winresrc.h>

LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US

STRINGTABLE
BEGIN
${lines}END

VS_VERSION_INFO VERSIONINFO
FILEVERSION ${versionNumbers}
PRODUCTVERSION ${versionNumbers}
FILEFLAGSMASK VS_FFI_FILEFLAGSMASK
FILEFLAGS 0x0L
FILEOS VOS_NT_WINDOWS32
FILETYPE VFT_DLL
FILESUBTYPE VFT2_UNKNOWN
BEGIN
    BLOCK \"StringFileInfo\"
    BEGIN
        BLOCK \"040904b0\"
        BEGIN
            VALUE \"FileDescription\", \"${DESCRIPTION}\"
            VALUE \"FileVersion\", \"${versionText}\"
            VALUE \"InternalName\", \"${MODULE_NAME}\"
${copyrightValue}            VALUE \"OriginalFilename\", \"${MODULE_NAME}.dll\"
            VALUE \"ProductName\", \"${MODULE_NAME}\"
            VALUE \"ProductVersion\", \"${versionText}\"
        END
    END
    BLOCK \"VarFileInfo\"
    BEGIN
        VALUE \"Translation\", 0x409, 1200
    END
END
")

# Rewrite only on a change, so that an unchanged table does not relink the module.
file(CONFIGURE OUTPUT "${OUTPUT}" CONTENT "${script}" @ONLY)
