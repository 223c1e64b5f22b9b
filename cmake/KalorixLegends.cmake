# kalorix_add_legend_strips(TARGET)
# Draws the eight legend strips at build time with a small generator built from
# the palette sources, and compiles them as the resource "legends" into TARGET
# (the core library), so every program that draws a legend has the strips.
function(kalorix_add_legend_strips target)
    set(src ${CMAKE_SOURCE_DIR}/src)
    add_executable(kalorix-legendgen
        ${CMAKE_SOURCE_DIR}/tools/legendgen/main.cpp
        ${src}/conversion/LegendStrip.cpp
        ${src}/conversion/RGBCalculations.cpp
        ${src}/conversion/RgbHsvConversions.cpp
        ${src}/base/Report.cpp)
    target_include_directories(kalorix-legendgen PRIVATE ${src})
    target_link_libraries(kalorix-legendgen PRIVATE Qt5::Core Qt5::Gui)

    set(dir ${CMAKE_CURRENT_BINARY_DIR}/legends)
    set(pngs)
    set(entries)
    foreach(mode 0 1 2 3)
        foreach(inv 0 1)
            set(name 640_${mode}_${inv}_black.png)
            list(APPEND pngs ${dir}/${name})
            string(APPEND entries "        <file>${name}</file>\n")
        endforeach()
    endforeach()
    add_custom_command(OUTPUT ${pngs}
        COMMAND kalorix-legendgen ${dir}
        DEPENDS kalorix-legendgen
        COMMENT "Drawing the legend strips"
        VERBATIM)
    file(WRITE ${dir}/legends.qrc.in
        "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n    <qresource prefix=\"/legends\">\n${entries}    </qresource>\n</RCC>\n")
    configure_file(${dir}/legends.qrc.in ${dir}/legends.qrc COPYONLY)
    qt5_add_resources(legend_sources ${dir}/legends.qrc)
    set_source_files_properties(${legend_sources} PROPERTIES SKIP_AUTOGEN ON)
    target_sources(${target} PRIVATE ${legend_sources})
endfunction()
