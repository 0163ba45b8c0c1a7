target_sources(lumivor_link PRIVATE
    link/serialport.h
    link/dialogs.h
    link/clock.h link/clock.cpp
    link/serialdevice.h link/serialdevice.cpp
    link/portlock.h link/portlock.cpp
    link/comports.h link/comports.cpp
    link/qtserialport.h link/qtserialport.cpp
    link/linkservice.h link/linkservice.cpp
    link/linkview.h
    link/responsemonitor.h link/responsemonitor.cpp
    link/connection.h link/connection.cpp
    link/job.h link/job.cpp
    link/pacedwriter.h link/pacedwriter.cpp
    link/pictureupload.h link/pictureupload.cpp
    link/flashtransfer.h link/flashtransfer.cpp
    link/partfile.h link/partfile.cpp
    link/flashfile.h link/flashfile.cpp
    link/flashverify.h link/flashverify.cpp
    link/controllerid.h link/controllerid.cpp
    link/baudratechange.h link/baudratechange.cpp
    link/traffic.h link/traffic.cpp
)
