# The command-line front end: a thin layer over the link library, no widgets.
add_library(lumivor_cli_core STATIC
    cli/texts.h
    cli/request.h cli/request.cpp
    cli/headlesslink.h
    cli/actions.h cli/actions.cpp
    cli/flashactions.h cli/flashactions.cpp
    cli/manifest.h cli/manifest.cpp
    cli/flashimages.h cli/flashimages.cpp
    cli/portsession.h cli/portsession.cpp
    cli/progressdisplay.h cli/progressdisplay.cpp
    cli/report.h cli/report.cpp
    cli/interruptwatcher.h cli/interruptwatcher.cpp
    cli/run.h cli/run.cpp
)
target_link_libraries(lumivor_cli_core PUBLIC lumivor_link PRIVATE lumivor_options)

add_executable(lumivor-cli cli/main.cpp)
target_link_libraries(lumivor-cli PRIVATE lumivor_cli_core lumivor_options)
