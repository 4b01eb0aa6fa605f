// Program entry of kopc_map.
#include "driver/driver.h"

int main(int argc, char* argv[]) {
    return kopc_map_main(argc, argv);
}
