-- Drives Neovim's built-in LSP client against `tolvan lsp`: opens one
-- module, asks for the code actions in a range, applies the one of the
-- wanted kind and writes the file. Parameters come from the environment:
-- TOLVAN (the program), MODULE, KIND, RANGE ("l1 c1 l2 c2", 0-based).
-- Any failure ends Neovim with a non-zero status and a message on stderr.
local function fail(message)
  io.stderr:write('nvim_client: ' .. message .. '\n')
  vim.cmd('cquit 1')
end

local ok, err = pcall(function()
  vim.o.fileencodings = 'ucs-bom,utf-8,cp932'
  vim.cmd('edit ' .. vim.fn.fnameescape(os.getenv('MODULE')))
  local bufnr = vim.api.nvim_get_current_buf()
  local client_id = vim.lsp.start_client({
    name = 'tolvan',
    cmd = { os.getenv('TOLVAN'), 'lsp' },
    root_dir = vim.fn.fnamemodify(os.getenv('MODULE'), ':h'),
  })
  if not client_id then return fail('the server did not start') end
  vim.lsp.buf_attach_client(bufnr, client_id)
  local client = vim.lsp.get_client_by_id(client_id)
  if not vim.wait(10000, function() return client.initialized end, 20) then
    return fail('the server did not answer initialize')
  end

  local l1, c1, l2, c2 = os.getenv('RANGE'):match('(%d+) (%d+) (%d+) (%d+)')
  local params = {
    textDocument = vim.lsp.util.make_text_document_params(bufnr),
    range = {
      start = { line = tonumber(l1), character = tonumber(c1) },
      ['end'] = { line = tonumber(l2), character = tonumber(c2) },
    },
    context = { diagnostics = {} },
  }
  local responses = vim.lsp.buf_request_sync(bufnr, 'textDocument/codeAction', params, 10000)
  local response = responses and responses[client_id]
  if not response or response.err then
    return fail('no code actions: ' .. vim.inspect(response))
  end
  local chosen
  for _, action in ipairs(response.result or {}) do
    if action.kind == os.getenv('KIND') then chosen = action end
  end
  if not chosen then
    return fail('no action of kind ' .. os.getenv('KIND') .. ' in ' .. vim.inspect(response.result))
  end
  vim.lsp.util.apply_workspace_edit(chosen.edit, client.offset_encoding or 'utf-16')
  vim.cmd('write')
  vim.lsp.stop_client(client_id)
  vim.wait(2000, function() return vim.lsp.client_is_stopped(client_id) end, 20)
  vim.cmd('qall!')
end)
if not ok then fail(tostring(err)) end
