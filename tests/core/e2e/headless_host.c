/* A host program of the headless calls (idf_importa_nfe, idf_importa_cte,
 * idf_ultimo_resultado), as a service or a web back-end would be, built
 * against the public header.
 *
 *   headless_host call TYPE KEY FOLDER XML OUT
 *       one call; prints its return code on a line, then the result object.
 *       A second thread reads the current folder all through the call and
 *       once after it: exit 4 when it ever differed from the folder at the
 *       start. Standard error tells how often it was read during the call.
 *   headless_host classic TYPE KEY FOLDER
 *       the same watch around the classic call (which moves into FOLDER).
 *   headless_host buffer TYPE KEY FOLDER XML OUT
 *       idf_ultimo_resultado before any call, then one call, then
 *       idf_ultimo_resultado with a null buffer, a buffer one byte short and
 *       one of the exact size; prints one line per case: "code size
 *       first-byte" (the last: "code size copied-length"), then the object.
 *   headless_host threads TYPE KEY FOLDER OUT TYPE KEY FOLDER OUT
 *       two threads call one after the other, then each reads its own last
 *       result; prints the two objects, one per line.
 *   headless_host loop N TYPE KEY FOLDER OUT EXPECTED
 *       N calls; after each, the file at OUT is compared with the file
 *       EXPECTED. Prints "runs R completed C mismatches M".
 *   headless_host fork N TYPE KEY FOLDER OUT OUT2
 *       a second thread calls again and again into OUT while this one
 *       forks N times; each child makes one call into OUT2 (given 5 s)
 *       and exits with 0 when it completed. Prints "forks N hung H failed F".
 *
 * TYPE is nfe or cte; an argument written (null) is a null pointer. Exit
 * status 0, 4 as above, 64 for a usage error, 70 when memory runs out. */
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "integracao_docs_fiscal.h"

typedef int (*headless_fn)(const char*, const char*, const char*, const char*);

static const char* arg(const char* text) { return strcmp(text, "(null)") == 0 ? NULL : text; }

static headless_fn headless(const char* type) {
    if (strcmp(type, "nfe") == 0) return idf_importa_nfe;
    if (strcmp(type, "cte") == 0) return idf_importa_cte;
    exit(64);
}

/* The last result, or NULL when idf_ultimo_resultado does not give one. */
static char* last_result(void) {
    int size = 0;
    if (idf_ultimo_resultado(NULL, &size) != 1 || size <= 0) return NULL;
    char* buffer = malloc((size_t)size);
    if (!buffer) exit(70);
    if (idf_ultimo_resultado(buffer, &size) != 0) {
        free(buffer);
        return NULL;
    }
    return buffer;
}

/* ---- the current folder, watched from a second thread ------------------ */

static char start_folder[4096];
static volatile int watching;
static volatile int folder_changed;
static volatile long reads;

static void* watch(void* unused) {
    (void)unused;
    char now[4096];
    while (watching) {
        if (!getcwd(now, sizeof now) || strcmp(now, start_folder) != 0) folder_changed = 1;
        ++reads;
    }
    return NULL;
}

static long reads_at_call;

static pthread_t start_watch(void) {
    pthread_t thread;
    if (!getcwd(start_folder, sizeof start_folder)) exit(70);
    watching = 1;
    if (pthread_create(&thread, NULL, watch, NULL) != 0) exit(70);
    while (reads == 0) sched_yield(); /* the watcher runs before the call */
    reads_at_call = reads;
    return thread;
}

/* Ends the watch after at least one more look at the current folder, and
 * prints to standard error how often it was read during the call. */
static int end_watch(pthread_t thread) {
    const long at_return = reads;
    while (reads < at_return + 2) sched_yield();
    watching = 0;
    pthread_join(thread, NULL);
    fprintf(stderr, "reads during the call: %ld\n", at_return - reads_at_call);
    return folder_changed ? 4 : 0;
}

/* ---- two threads ------------------------------------------------------- */

struct turn {
    char** args; /* TYPE KEY FOLDER OUT */
    pthread_barrier_t* barrier;
    int first;
    char* result;
};

static void* take_turn(void* p) {
    struct turn* t = p;
    /* The first thread calls, then the second; both read afterwards. */
    if (!t->first) pthread_barrier_wait(t->barrier);
    headless(t->args[0])(arg(t->args[1]), arg(t->args[2]), NULL, arg(t->args[3]));
    if (t->first) pthread_barrier_wait(t->barrier);
    pthread_barrier_wait(t->barrier);
    t->result = last_result();
    return NULL;
}

/* ---- a fork while a call runs ------------------------------------------ */

static volatile int calling;
static headless_fn loop_fn;
static char** loop_args; /* KEY FOLDER OUT */

static void* call_again_and_again(void* unused) {
    (void)unused;
    while (calling) loop_fn(arg(loop_args[0]), arg(loop_args[1]), NULL, loop_args[2]);
    return NULL;
}

/* ---- files ------------------------------------------------------------- */

static char* read_file(const char* path, long* size) {
    FILE* f = fopen(path, "rb");
    if (!f) return NULL;
    char* bytes = NULL;
    if (fseek(f, 0, SEEK_END) == 0 && (*size = ftell(f)) >= 0 && fseek(f, 0, SEEK_SET) == 0 &&
        (bytes = malloc((size_t)*size + 1)) && fread(bytes, 1, (size_t)*size, f) != (size_t)*size) {
        free(bytes);
        bytes = NULL;
    }
    fclose(f);
    return bytes;
}

int main(int argc, char** argv) {
    if (argc < 2) return 64;
    const char* mode = argv[1];
    if (strcmp(mode, "call") == 0 && argc == 7) {
        pthread_t watcher = start_watch();
        const int code = headless(argv[2])(arg(argv[3]), arg(argv[4]), arg(argv[5]), arg(argv[6]));
        const int status = end_watch(watcher);
        char* result = last_result();
        printf("%d\n%s", code, result ? result : "");
        free(result);
        return status;
    }
    if (strcmp(mode, "classic") == 0 && argc == 5) {
        pthread_t watcher = start_watch();
        if (strcmp(argv[2], "nfe") == 0)
            importa_arquivo_xml_nfe(arg(argv[3]), arg(argv[4]), "Sim");
        else
            importa_arquivo_xml_cte(arg(argv[3]), arg(argv[4]), "Sim");
        return end_watch(watcher);
    }
    if (strcmp(mode, "buffer") == 0 && argc == 7) {
        char fresh[8] = "xxxxxxx";
        int size = (int)sizeof fresh;
        const int fresh_code = idf_ultimo_resultado(fresh, &size);
        printf("%d %d %d\n", fresh_code, size, fresh[0]);
        headless(argv[2])(arg(argv[3]), arg(argv[4]), arg(argv[5]), arg(argv[6]));
        size = 0;
        const int null_code = idf_ultimo_resultado(NULL, &size);
        printf("%d %d -\n", null_code, size);
        const int needed = size;
        char* buffer = malloc((size_t)needed + 1);
        if (!buffer || needed <= 0) return 70;
        memset(buffer, 'x', (size_t)needed + 1);
        size = needed - 1;
        const int short_code = idf_ultimo_resultado(buffer, &size);
        printf("%d %d %d\n", short_code, size, buffer[0]);
        memset(buffer, 'x', (size_t)needed + 1);
        size = needed;
        const int exact_code = idf_ultimo_resultado(buffer, &size);
        printf("%d %d %d\n", exact_code, size, buffer[needed] == 'x' ? (int)strlen(buffer) + 1 : -1);
        printf("%s", buffer);
        free(buffer);
        return 0;
    }
    if (strcmp(mode, "threads") == 0 && argc == 10) {
        pthread_barrier_t barrier;
        pthread_barrier_init(&barrier, NULL, 2);
        struct turn turns[2] = {{argv + 2, &barrier, 1, NULL}, {argv + 6, &barrier, 0, NULL}};
        pthread_t threads[2];
        for (int i = 0; i < 2; ++i)
            if (pthread_create(&threads[i], NULL, take_turn, &turns[i]) != 0) return 70;
        for (int i = 0; i < 2; ++i) pthread_join(threads[i], NULL);
        for (int i = 0; i < 2; ++i) {
            printf("%s\n", turns[i].result ? turns[i].result : "(none)");
            free(turns[i].result);
        }
        return 0;
    }
    if (strcmp(mode, "loop") == 0 && argc == 8) {
        const long runs = atol(argv[2]);
        headless_fn fn = headless(argv[3]);
        long expected_size = 0, completed = 0, mismatches = 0;
        char* expected = read_file(argv[7], &expected_size);
        if (!expected) return 64;
        for (long i = 0; i < runs; ++i) {
            if (fn(arg(argv[4]), arg(argv[5]), NULL, argv[6]) == 0) ++completed;
            long size = 0;
            char* bytes = read_file(argv[6], &size);
            if (!bytes || size != expected_size || memcmp(bytes, expected, (size_t)size) != 0) ++mismatches;
            free(bytes);
        }
        printf("runs %ld completed %ld mismatches %ld\n", runs, completed, mismatches);
        free(expected);
        return 0;
    }
    if (strcmp(mode, "fork") == 0 && argc == 8) {
        const long forks = atol(argv[2]);
        loop_fn = headless(argv[3]);
        loop_args = argv + 4;
        calling = 1;
        pthread_t caller;
        if (pthread_create(&caller, NULL, call_again_and_again, NULL) != 0) return 70;
        long hung = 0, failed = 0;
        for (long i = 0; i < forks; ++i) {
            usleep((useconds_t)(1000 * (i % 4)));
            const pid_t child = fork();
            if (child == 0) {
                alarm(30); /* a lock held across the fork hangs for ever; a loaded machine under the sanitizers takes seconds */
                _exit(loop_fn(arg(argv[4]), arg(argv[5]), NULL, argv[7]) == 0 ? 0 : 1);
            }
            int status = 0;
            if (child < 0 || waitpid(child, &status, 0) != child)
                ++failed;
            else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM)
                ++hung;
            else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
                ++failed;
        }
        calling = 0;
        pthread_join(caller, NULL);
        printf("forks %ld hung %ld failed %ld\n", forks, hung, failed);
        return 0;
    }
    return 64;
}
