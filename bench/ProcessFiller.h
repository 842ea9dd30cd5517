#pragma once

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

// Idle child processes that bring the machine to the process count a benchmark is meant for.
class ProcessFiller
{
public:
    explicit ProcessFiller(int target)
    {
        for (int n = processCount(); n < target; ++n) {
            const pid_t pid = fork();
            if (pid == 0) {
                pause();
                _exit(0);
            }
            if (pid > 0)
                m_children.push_back(pid);
        }
    }
    ~ProcessFiller()
    {
        for (pid_t pid : m_children) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    ProcessFiller(const ProcessFiller&) = delete;
    ProcessFiller& operator=(const ProcessFiller&) = delete;

    // Entries of /proc that are processes, kernel threads included.
    static int processCount()
    {
        int count = 0;
        DIR* proc = opendir("/proc");
        if (!proc)
            return 0;
        while (const dirent* e = readdir(proc))
            count += e->d_name[0] >= '0' && e->d_name[0] <= '9';
        closedir(proc);
        return count;
    }

private:
    std::vector<pid_t> m_children;
};
