/* Preloaded into the 32-bit Wine processes that scripts/wine32.sh runs under
   the qemu-i386 user-mode emulator (qemu 7.2, Debian 12), on machines whose
   kernel runs no 32-bit code. It mends two things in which that emulator
   differs from a kernel, each fatal to Wine:

   - mmap with MAP_FIXED_NOREPLACE: qemu takes the address as a mere hint
     and maps elsewhere where it is taken, instead of failing with EEXIST.
     Wine then spends about a minute reserving its address space and still
     fails to map its shared user data.

   - Thread segments: qemu keeps one descriptor table (GDT) for all threads
     of a process, so the thread-local entry that set_thread_area and
     clone(CLONE_SETTLS) write is shared: whichever thread wrote it last
     owns it. Wine reloads %fs (the thread's TEB) and %gs (glibc's
     thread-local block) in its signal handlers, and qemu reloads both at
     every signal return, so with two threads each soon runs on the
     other's TEB or TLS block and crashes. Here every thread gets segments
     of its own in the LDT, whose entries are not shared: the two free
     GDT thread-local entries are taken at the start, so that Wine puts
     each thread's %fs in an LDT entry (as it does wherever
     set_thread_area fails), and each thread's %gs moves to an LDT entry
     with the same base, taken from the top of the LDT, which Wine leaves
     alone (it fills it from the bottom). An entry is not reused: a
     process can start about 8,000 threads.

   - Memory of another process: the Wine server, a host program, reads and
     writes a process's memory (ReadProcessMemory, WriteProcessMemory, and
     so a list view read from another process) with ptrace at the
     addresses the process knows, but qemu keeps guest memory at those
     addresses plus its guest base. scripts/wine32.sh gives every process
     the same guest base (QEMU_GUEST_BASE; 0, the base that would need no
     help, is refused where the kernel keeps the lowest 64 KB), and the
     64-bit part below, preloaded into the server, adds it to the address
     of every such ptrace call.

   The 32-bit part is built with gcc -m32 -nostdlib against the i386 libc,
   without its headers, which a 64-bit Debian does not have. */

#if defined(__i386__)

typedef unsigned int size_t;
typedef long off_t;
typedef long long off64_t;

extern void *dlsym(void *handle, const char *name);
extern int munmap(void *address, size_t length);
extern int *__errno_location(void);
extern void *malloc(size_t size);
extern void free(void *block);

#define RTLD_NEXT ((void *)-1)
#define MAP_FIXED_NOREPLACE 0x100000
#define EEXIST 17
#define ENOMEM 12
#define SYS_modify_ldt 123
#define SYS_sched_yield 158
#define SYS_set_thread_area 243

/* ---- mmap ---------------------------------------------------------- */

typedef void *(*Mmap64)(void *, size_t, int, int, int, off64_t);

static void *Map(void *address, size_t length, int protection, int flags, int fd, off64_t offset)
{
    static Mmap64 next;
    void *mapped;
    if (!next)
        next = (Mmap64)dlsym(RTLD_NEXT, "mmap64");
    mapped = next(address, length, protection, flags, fd, offset);
    if ((flags & MAP_FIXED_NOREPLACE) && mapped != (void *)-1 && mapped != address) {
        munmap(mapped, length);
        *__errno_location() = EEXIST;
        return (void *)-1;
    }
    return mapped;
}

void *mmap64(void *address, size_t length, int protection, int flags, int fd, off64_t offset)
{
    return Map(address, length, protection, flags, fd, offset);
}

void *mmap(void *address, size_t length, int protection, int flags, int fd, off_t offset)
{
    return Map(address, length, protection, flags, fd, offset);
}

/* ---- thread segments ----------------------------------------------- */

/* struct user_desc of set_thread_area and modify_ldt. */
struct Descriptor {
    unsigned int entry;
    unsigned int base;
    unsigned int limit;
    unsigned int flags;
};
#define SEG_32BIT 0x01
#define LIMIT_IN_PAGES 0x10
#define USEABLE 0x40

static int Syscall3(int number, int a, int b, int c)
{
    int result;
    /* %ebx holds the GOT here, so it is saved by hand. */
    __asm__ __volatile__("pushl %%ebx\n\tmovl %2, %%ebx\n\tint $0x80\n\tpopl %%ebx"
                         : "=a"(result)
                         : "0"(number), "S"(a), "c"(b), "d"(c)
                         : "memory");
    return result;
}

static unsigned int OwnTlsBlock(void)
{
    unsigned int block;
    __asm__ __volatile__("movl %%gs:0, %0" : "=r"(block)); /* the block points at itself */
    return block;
}

static unsigned int Gs(void)
{
    unsigned int selector;
    __asm__ __volatile__("movw %%gs, %w0" : "=r"(selector));
    return selector & 0xffff;
}

static void SetGs(unsigned int selector)
{
    __asm__ __volatile__("movw %w0, %%gs" : : "r"(selector));
}

static volatile int nextLdtEntry = 8191;

/* Moves the calling thread's %gs to an LDT entry of its own, with the
   base it has now. */
static void TakeOwnGs(void)
{
    struct Descriptor d;
    d.entry = (unsigned int)__sync_fetch_and_sub(&nextLdtEntry, 1);
    d.base = OwnTlsBlock();
    d.limit = 0xfffff;
    d.flags = SEG_32BIT | LIMIT_IN_PAGES | USEABLE;
    if (Syscall3(SYS_modify_ldt, 0x11 /* write */, (int)&d, sizeof d) == 0)
        SetGs((d.entry << 3) | 7 /* LDT, ring 3 */);
}

typedef int (*Create)(void *, const void *, void *(*)(void *), void *);

struct Start {
    void *(*body)(void *);
    void *argument;
    volatile int moved;
};

static volatile int creating;
static unsigned int glibcGs; /* the GDT selector glibc gave the first thread */

static void *Begin(void *data)
{
    struct Start *start = data;
    void *(*body)(void *) = start->body;
    void *argument = start->argument;
    TakeOwnGs();
    start->moved = 1;  /* the creator frees it */
    return body(argument);
}

/* glibc gives a new thread the GDT entry of its creator's %gs, and qemu
   writes the new thread's base into that shared entry. So the creator
   runs the call on that entry with its own base, one creator at a time,
   until the new thread has moved to its own LDT entry. */
int pthread_create(void *thread, const void *attributes, void *(*body)(void *), void *argument)
{
    static Create next;
    struct Start *start = malloc(sizeof *start);
    unsigned int own;
    int result;
    if (!next)
        next = (Create)dlsym(RTLD_NEXT, "pthread_create");
    if (!start)
        return ENOMEM;
    start->body = body;
    start->argument = argument;
    start->moved = 0;
    while (__sync_lock_test_and_set(&creating, 1))
        Syscall3(SYS_sched_yield, 0, 0, 0);
    own = Gs();
    {
        struct Descriptor d = {glibcGs >> 3, OwnTlsBlock(), 0xfffff, SEG_32BIT | LIMIT_IN_PAGES | USEABLE};
        Syscall3(SYS_set_thread_area, (int)&d, 0, 0);
    }
    SetGs(glibcGs);
    result = next(thread, attributes, Begin, start);
    SetGs(own);
    if (result == 0)
        while (!start->moved)
            Syscall3(SYS_sched_yield, 0, 0, 0);
    __sync_lock_release(&creating);
    free(start);
    return result;
}

__attribute__((constructor)) static void Start(void)
{
    int i;
    glibcGs = Gs();
    for (i = 0; i < 2; ++i) {
        /* Any descriptor that is not empty (limit 1) takes a free entry. */
        struct Descriptor d = {0xffffffffu, 0, 1, SEG_32BIT | USEABLE};
        Syscall3(SYS_set_thread_area, (int)&d, 0, 0);
    }
    TakeOwnGs();
}

#else /* the 64-bit part, for the Wine server */

#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdarg.h>
#include <stdlib.h>
#include <sys/ptrace.h>
#include <sys/types.h>

static unsigned long GuestBase(void)
{
    static int known;
    static unsigned long base;
    if (!known) {
        const char *text = getenv("QEMU_GUEST_BASE");
        base = text ? strtoul(text, NULL, 0) : 0;
        known = 1;
    }
    return base;
}

long ptrace(enum __ptrace_request request, ...)
{
    typedef long (*Ptrace)(enum __ptrace_request, pid_t, void *, void *);
    static Ptrace next;
    va_list list;
    pid_t pid;
    char *address;
    void *data;
    va_start(list, request);
    pid = va_arg(list, pid_t);
    address = va_arg(list, char *);
    data = va_arg(list, void *);
    va_end(list);
    if (!next)
        next = (Ptrace)dlsym(RTLD_NEXT, "ptrace");
    switch (request) {
    case PTRACE_PEEKTEXT:
    case PTRACE_PEEKDATA:
    case PTRACE_POKETEXT:
    case PTRACE_POKEDATA:
        address += GuestBase();
        break;
    default:
        break;
    }
    return next(request, pid, address, data);
}

#endif
