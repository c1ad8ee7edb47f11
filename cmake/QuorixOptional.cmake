# Optional tools and libraries of the tests and benchmarks are looked for quietly; each gets one status
# line, saying that it was found or which Debian package brings what was skipped without it.
#
#   quorix_optional(<what> <found-variable> <debian-package>)
#     -- <what>: found
#     -- <what>: skipped: install <debian-package>
function(quorix_optional what found package)
    if(${found})
        message(STATUS "${what}: found")
    else()
        message(STATUS "${what}: skipped: install ${package}")
    endif()
endfunction()
