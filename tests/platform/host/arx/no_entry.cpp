// A shared object that is no ARX application: it exports no acrxEntryPoint.
extern "C" __attribute__((visibility("default"))) int hosttestNothing() {
    return 0;
}
