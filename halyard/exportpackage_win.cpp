#include "exportpackage_win.h"

#include "exportwalk.h"
#include "prepare_win.h"

namespace hy {

int export_driver_package(const char *outputFolder, const char *interfaceNumber, char *infPathOut,
                          halyard_log_fn log, const device_list_calls &calls)
{
    list_options listOptions = {};
    listOptions.list_all_devices = 1;
    listOptions.list_hubs = 0;
    listOptions.trim_whitespace = 1;
    device_record *list = nullptr;
    int result = hy_create_list(&list, &listOptions, calls);
    if (result != HY_SUCCESS) {
        log("create list failed");
        return result;
    }
    result = walk_for_interface(
        list, interfaceNumber, [log](const char *message) { log(message); },
        [&](device_record *record, const char *infName, int driverType) {
            prepare_options options = {};
            options.driver_type = driverType;
            return hy_prepare_driver(record, outputFolder, infName, &options, infPathOut);
        });
    hy_destroy_list(list);
    return result;
}

} // namespace hy
