target_sources(lumivor_core PRIVATE
    app/mainwindow.h app/mainwindow.cpp
    app/qtdialogs.h app/qtdialogs.cpp
    app/trafficview.h app/trafficview.cpp
    app/appicon.h app/appicon.cpp
)
