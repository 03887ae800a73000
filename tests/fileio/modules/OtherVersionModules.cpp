// Entries of modules built for other versions of the program: one from
// before modules gave their interface version, one of a later interface.

extern "C" const void* OmbraneUnversionedEntry() {
    static const int object = 1;
    return &object;
}

extern "C" const void* OmbraneLaterEntry(int* interfaceVersion) {
    static const int object = 2;
    *interfaceVersion = 1000;
    return &object;
}

extern "C" const void* OmbraneMatchingEntry(int* interfaceVersion) {
    static const int object = 3;
    *interfaceVersion = 7;
    return &object;
}
