target_sources(lumivor_core PRIVATE
    link/serialport.h
    link/dialogs.h
    link/linkview.h
    link/serialdevice.h link/serialdevice.cpp
    link/portlock.h link/portlock.cpp
    link/comports.h link/comports.cpp
    link/qtserialport.h link/qtserialport.cpp
    link/pausewait.h link/pausewait.cpp
    link/commandsender.h link/commandsender.cpp
    link/responsemonitor.h link/responsemonitor.cpp
    link/connection.h link/connection.cpp
)
