// One work folder, one run: a run holds an exclusive lock on the file
// ".impactfem.lock" in its work folder for as long as it runs. The system
// drops the lock when the process ends in any way (also when it is killed),
// so a lock is never left behind; the file itself stays.
#pragma once
#include <string>

class WorkFolderLock {
 public:
  WorkFolderLock() = default;
  WorkFolderLock(const WorkFolderLock&) = delete;
  WorkFolderLock& operator=(const WorkFolderLock&) = delete;
  ~WorkFolderLock();

  // Takes the lock of the folder at once or not at all. False when another
  // run holds it or the lock file cannot be made; why then says which (the
  // other run's process id when it wrote one).
  bool acquire(const std::string& folder, std::string& why);
  void release();

 private:
  int fd_ = -1;
};

// The lock file of a work folder.
std::string workFolderLockPath(const std::string& folder);
