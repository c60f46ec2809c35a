// The built-in network: the network file named by VORN_NETWORK_FILE,
// copied byte for byte into the program's read-only data.
#ifndef VORN_NETWORK_FILE
#error "VORN_NETWORK_FILE must name the built-in network file"
#endif

__asm__(".section .rodata\n"
        ".balign 64\n"
        ".global embedded_network_data\n"
        "embedded_network_data:\n"
        ".incbin \"" VORN_NETWORK_FILE "\"\n"
        ".global embedded_network_end\n"
        "embedded_network_end:\n"
        ".previous\n");
