/* Preloaded into mcadec by its tests: stat() reports files named
 * "inode-twin-a..." and "inode-twin-b..." as sharing an inode number on two
 * different devices, as files on two file systems can. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <string.h>
#include <sys/stat.h>

int stat(const char* path, struct stat* info) {
  static int (*real)(const char*, struct stat*);
  if (!real) real = (int (*)(const char*, struct stat*))dlsym(RTLD_NEXT, "stat");
  const int result = real(path, info);
  const char* name = strrchr(path, '/');
  name = name ? name + 1 : path;
  if (result == 0 && strncmp(name, "inode-twin-", 11) == 0) {
    info->st_ino = 4242;
    info->st_dev = name[11] == 'a' ? 1 : 2;
  }
  return result;
}
