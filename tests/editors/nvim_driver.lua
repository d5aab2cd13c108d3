-- Drives the Neovim set-up of README.md (loaded as the user's init.lua) as
-- a user would. With KEYS set: opens MODULE, waits for the tolvan client and
-- its review diagnostics, types KEYS in normal mode (so the set-up's own mappings run), waits for the
-- server's edit and writes the file; with ACTION set too, the keys select
-- and the code action of that kind is taken from range_code_action(). With
-- KEYS empty: reopens MODULE with :e
-- and :e!, opens OTHER of the same project, and checks that one client and
-- one server process serve them all. Failures end Neovim with status 1 and
-- a message on stderr.
local function fail(message)
  io.stderr:write('nvim_driver: ' .. message .. '\n')
  vim.cmd('cquit 1')
end

local function tolvan_clients()
  local found = {}
  for _, client in ipairs(vim.lsp.get_active_clients()) do
    if client.name == 'tolvan' then table.insert(found, client) end
  end
  return found
end

local function wait_for_server()
  local attached = vim.wait(10000, function()
    local clients = vim.lsp.buf_get_clients(0)
    for _, client in pairs(clients) do
      if client.name == 'tolvan' and client.initialized then return true end
    end
    return false
  end, 20)
  if not attached then fail('no initialized tolvan client on ' .. vim.api.nvim_buf_get_name(0)) end
  return attached
end

local ok, err = pcall(function()
  vim.cmd('edit ' .. vim.fn.fnameescape(os.getenv('MODULE')))
  if not wait_for_server() then return end
  -- The set-up turns review on: the missing headers are shown.
  if not vim.wait(10000, function() return #vim.diagnostic.get(0) > 0 end, 20) then
    return fail('no review diagnostics in ' .. vim.api.nvim_buf_get_name(0))
  end
  local keys = os.getenv('KEYS') or ''
  if keys ~= '' then
    vim.cmd('normal ' .. keys)
    local action = os.getenv('ACTION') or ''
    if action ~= '' then
      vim.ui.select = function(items, _, on_choice)
        for _, item in ipairs(items) do
          if item[2].kind == action then return on_choice(item) end
        end
        fail('no code action of kind ' .. action .. ' in ' .. vim.inspect(items))
      end
      -- Leaving visual mode sets the '< and '> marks, which
      -- range_code_action() reads; `:normal` alone leaves them unset.
      vim.cmd('normal! \27')
      vim.lsp.buf.range_code_action()
    end
    if not vim.wait(10000, function() return vim.bo.modified end, 20) then
      return fail('the keys ' .. keys .. ' changed nothing')
    end
    vim.cmd('write')
  else
    vim.cmd('edit')
    if not wait_for_server() then return end
    vim.cmd('edit!')
    if not wait_for_server() then return end
    vim.cmd('edit ' .. vim.fn.fnameescape(os.getenv('OTHER')))
    if not wait_for_server() then return end
    local clients = #tolvan_clients()
    local processes = vim.fn.systemlist({ 'pgrep', '-P', tostring(vim.fn.getpid()), '-f', 'tolvan lsp' })
    if clients ~= 1 or #processes ~= 1 then
      return fail(string.format('%d clients and %d server processes, not one of each', clients, #processes))
    end
  end
  vim.cmd('qall!')
end)
if not ok then fail(tostring(err)) end
