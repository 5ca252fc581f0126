/* A qemu-user plug-in that counts the guest instructions a program executes and prints
 * the total at exit. For instruction counts where valgrind cannot run (a kernel that
 * runs no 32-bit programs): scripts/count_instructions.sh builds it and subtracts the
 * count of the bare query loop. The few declarations it needs from qemu's stable plug-in
 * interface are written out here, as Debian ships no header for them.
 * Usage: qemu-i386 -plugin ./insn_count.so[,out=FILE] PROGRAM ARGS... */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

typedef uint64_t qemu_plugin_id_t;
struct qemu_plugin_tb;
typedef struct qemu_info_t qemu_info_t;
enum qemu_plugin_op { QEMU_PLUGIN_INLINE_ADD_U64 };
typedef void (*qemu_plugin_tb_trans_cb)(qemu_plugin_id_t, struct qemu_plugin_tb*);
typedef void (*qemu_plugin_udata_cb)(qemu_plugin_id_t, void*);
void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t, qemu_plugin_tb_trans_cb);
size_t qemu_plugin_tb_n_insns(const struct qemu_plugin_tb*);
void qemu_plugin_register_vcpu_tb_exec_inline(struct qemu_plugin_tb*, enum qemu_plugin_op, void*,
                                              uint64_t);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t, qemu_plugin_udata_cb, void*);

__attribute__((visibility("default"))) int qemu_plugin_version = 1;

static uint64_t executed;
static char out_path[4096];

static void on_translate(qemu_plugin_id_t id, struct qemu_plugin_tb* tb) {
    (void)id;
    qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &executed,
                                             qemu_plugin_tb_n_insns(tb));
}

static void on_exit_(qemu_plugin_id_t id, void* data) {
    (void)id;
    (void)data;
    FILE* f = out_path[0] ? fopen(out_path, "w") : stderr;
    if (!f) return;
    fprintf(f, "guest instructions %llu\n", (unsigned long long)executed);
    if (f != stderr) fclose(f);
}

__attribute__((visibility("default"))) int qemu_plugin_install(qemu_plugin_id_t id,
                                                               const qemu_info_t* info,
                                                               int argc, char** argv) {
    (void)info;
    for (int i = 0; i < argc; ++i)
        if (strncmp(argv[i], "out=", 4) == 0) snprintf(out_path, sizeof out_path, "%s", argv[i] + 4);
    qemu_plugin_register_vcpu_tb_trans_cb(id, on_translate);
    qemu_plugin_register_atexit_cb(id, on_exit_, NULL);
    return 0;
}
