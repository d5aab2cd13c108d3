;;; emacs_driver.el --- drives the Emacs set-up of README.md  -*- lexical-binding: t -*-
;; Loaded after the set-up (the user's init.el) in `emacs --batch': opens
;; MODULE, checks its mode and coding system, lets eglot connect as it does
;; after the first command, waits for the review's diagnostics, takes the code action of kind KIND at LINE and
;; COLUMN (1-based), or on the whole lines LINE to END_LINE, and saves the
;; file. Any failure ends Emacs with status 1 and a message on stderr.

(defun tolvan-driver-fail (format-string &rest arguments)
  (message "emacs_driver: %s" (apply #'format format-string arguments))
  (kill-emacs 1))

(defun tolvan-driver-number (name)
  (let ((value (getenv name)))
    (and value (not (string-empty-p value)) (string-to-number value))))

(condition-case failure
    (let ((line (tolvan-driver-number "LINE"))
          (column (or (tolvan-driver-number "COLUMN") 1))
          (end-line (tolvan-driver-number "END_LINE"))
          (kind (getenv "KIND")))
      (find-file (getenv "MODULE"))
      (unless (eq major-mode 'tolvan-vb-mode)
        (tolvan-driver-fail "%s opened in %s" (buffer-name) major-mode))
      (unless (string-prefix-p (or (getenv "CODING") "") (symbol-name buffer-file-coding-system))
        (tolvan-driver-fail "%s read as %s" (buffer-name) buffer-file-coding-system))
      ;; eglot-ensure connects after the next command, which batch mode never runs.
      (run-hooks 'post-command-hook)
      (unless (with-timeout (20 nil)
                (while (not (eglot-current-server)) (accept-process-output nil 0.05))
                t)
        (tolvan-driver-fail "eglot did not connect to tolvan lsp"))
      ;; The set-up turns review on: the missing headers are shown.
      (unless (with-timeout (20 nil)
                (while (not (flymake-diagnostics)) (accept-process-output nil 0.05))
                t)
        (tolvan-driver-fail "no review diagnostics in %s" (buffer-name)))
      (goto-char (point-min))
      (forward-line (1- line))
      (forward-char (1- column))
      (let ((start (point))
            (end (point)))
        (when end-line
          (setq start (line-beginning-position))
          (forward-line (- (1+ end-line) line))
          (setq end (point)))
        (eglot-code-actions start end kind t))
      (unless (buffer-modified-p)
        (tolvan-driver-fail "the %s action changed nothing" kind))
      (save-buffer)
      (kill-emacs 0))
  (error (tolvan-driver-fail "%S" failure)))
